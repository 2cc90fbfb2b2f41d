#include "rendermodule/ChunkReport.h"

#include <sys/stat.h>

#include <cstdio>

#include "renderlib/TemporaryFiles.h"

namespace maculo {

std::vector<int32_t> FramesToRender(const CliOptions& options) {
    std::vector<int32_t> numbers;
    for (int32_t number = options.first; number <= options.Last(); ++number) {
        struct stat status {};
        const bool there = options.skipExisting && stat(FrameFileName(options.output, number).c_str(), &status) == 0 &&
                           S_ISREG(status.st_mode) && status.st_size > 0;
        if (!there) numbers.push_back(number);
    }
    return numbers;
}

std::string ClosingLine(const ChunkCount& count, double seconds) {
    char text[160];
    std::snprintf(text, sizeof text, "rendered %d frame%s, kept %d, failed %d in %.1f s", count.rendered,
                  count.rendered == 1 ? "" : "s", count.kept, count.failed, seconds);
    std::string line = MachineName() + ": " + text;
    if (count.rendered > 0) {
        std::snprintf(text, sizeof text, ", %.2f s per frame", seconds / count.rendered);
        line += text;
    }
    return line;
}

}  // namespace maculo
