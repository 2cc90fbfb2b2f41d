#include "ChunkReport.h"

#include <sys/stat.h>

#include <cstdio>

#include "Options.h"
#include "TemporaryFiles.h"

namespace maculo {

std::vector<int32_t> MissingFrames(const std::string& pattern, int32_t first, int32_t last) {
    std::vector<int32_t> missing;
    for (int32_t number = first; number <= last; ++number) {
        struct stat status {};
        const bool there = stat(FrameFileName(pattern, number).c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
                           status.st_size > 0;
        if (!there) missing.push_back(number);
    }
    return missing;
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
