#include "renderlib/InputSequence.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <set>
#include <utility>

#include "renderlib/CliError.h"

namespace maculo {
namespace {

namespace fs = std::filesystem;

bool IsSequence(const std::string& pattern) { return FrameFileName(pattern, 1) != FrameFileName(pattern, 2); }

}  // namespace

CliOptions WithInputSequence(CliOptions options) {
    if (options.framesGiven || options.input.empty() || !IsSequence(options.input)) return options;
    const fs::path pattern = options.input;
    const fs::path folder = pattern.has_parent_path() ? pattern.parent_path() : fs::path(".");
    const std::string name = pattern.filename().string();
    const size_t runEnd = name.find_last_of('#') + 1;
    const std::string prefix = name.substr(0, name.find_last_not_of('#', runEnd - 1) + 1);
    const std::string suffix = name.substr(runEnd);
    int32_t first = INT32_MAX, last = -1;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string found = entry.path().filename().string();
        if (found.size() <= prefix.size() + suffix.size() || !found.starts_with(prefix) || !found.ends_with(suffix))
            continue;
        const std::string digits = found.substr(prefix.size(), found.size() - prefix.size() - suffix.size());
        int32_t number = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        // Padded as the pattern pads it, as the frames are read.
        if (error != std::errc() || end != digits.data() + digits.size() || number < 0 ||
            FrameFileName(name, number) != found)
            continue;
        first = std::min(first, number);
        last = std::max(last, number);
    }
    if (first == INT32_MAX) throw Failure("cannot read " + options.input + ": no file of the sequence is there");
    options.start = first;
    options.frames = last - first + 1;
    if (options.last == 0) {
        options.first = first;
    } else if (options.first < first || options.last > last) {
        throw UsageError("--range " + std::to_string(options.first) + ":" + std::to_string(options.last) +
                         " lies outside the input frames " + std::to_string(first) + " to " + std::to_string(last));
    }
    if (options.Last() > options.first && !IsSequence(options.output))
        throw UsageError("the input sequence has frames " + std::to_string(options.first) + " to " +
                         std::to_string(options.Last()) +
                         "; the output name needs a run of '#' for the frame number, e.g. out_####.png");
    return options;
}

void CheckFrameFiles(const CliOptions& options) {
    if (options.input.empty()) return;
    std::set<std::pair<dev_t, ino_t>> inputs;
    std::string lastInput;
    for (int32_t number = options.first; number <= options.Last(); ++number) {
        const std::string input = FrameFileName(options.input, number);
        if (input == lastInput) continue;
        lastInput = input;
        struct stat status {};
        if (stat(input.c_str(), &status) != 0) throw Failure("cannot read " + input + ": " + std::strerror(errno));
        inputs.emplace(status.st_dev, status.st_ino);
    }
    for (int32_t number = options.first; number <= options.Last(); ++number) {
        const std::string output = FrameFileName(options.output, number);
        struct stat status {};
        if (stat(output.c_str(), &status) == 0 && inputs.count({status.st_dev, status.st_ino}) != 0)
            throw UsageError("the output " + output + " is an input file; write it elsewhere");
    }
}

}  // namespace maculo
