#include "renderlib/FrameBudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "minihost/WorldSuite.h"
#include "renderlib/CliError.h"
#include "renderlib/ControlGroups.h"

namespace maculo {
namespace {

constexpr int64_t kFloatPixelBytes = 16;  // the effect works on four floats per pixel

std::string GiB(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GiB", double(bytes) / double(int64_t{1} << 30));
    return text;
}

std::string SizeOf(int32_t width, int32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

// A size in a /proc file, "MemAvailable:" say, or -1 where it has none.
int64_t ProcBytes(const char* file, const std::string& field) {
    std::ifstream lines(file);
    for (std::string key; lines >> key;) {
        int64_t kib = 0;
        if (key == field && lines >> kib) return kib * 1024;
        lines.ignore(INT32_MAX, '\n');
    }
    return -1;
}

// The system's memory that can be had without swapping, or all of it where
// the system does not say.
int64_t SystemMemory() {
    const int64_t available = ProcBytes("/proc/meminfo", "MemAvailable:");
    return available >= 0 ? available : int64_t{sysconf(_SC_PHYS_PAGES)} * sysconf(_SC_PAGE_SIZE);
}

}  // namespace

int64_t FrameMemory(int32_t width, int32_t height, int32_t depth, int64_t inputBytes) {
    const int64_t pixels = int64_t{width} * height;
    const int64_t framePixelBytes = depth / 2;
    // Working images; layer and output; source and result frames, and the
    // next source read and the last result written meanwhile; the file's
    // channels and the writer's own copy of them.
    return 3 * pixels * kFloatPixelBytes + 8 * pixels * framePixelBytes + inputBytes;
}

void CheckFrameFits(int32_t width, int32_t height, int32_t depth, int64_t inputBytes, const Memory& available) {
    const int64_t image = int64_t{width} * height * kFloatPixelBytes;
    if (image > minihost::kMaxWorldBytes)
        throw Failure("a " + SizeOf(width, height) + " frame needs working images of " + GiB(image) +
                      " each; the host makes them up to " + GiB(minihost::kMaxWorldBytes) + ", frames of up to " +
                      std::to_string(minihost::kMaxWorldBytes / kFloatPixelBytes / 1000000) + " megapixels");
    const int64_t needed = FrameMemory(width, height, depth, inputBytes);
    if (needed > available.bytes)
        throw Failure("a " + SizeOf(width, height) + " frame at " + std::to_string(depth) + " bits needs about " +
                      GiB(needed) + " of memory; " + GiB(available.bytes) + " is available" +
                      (available.limit.empty() ? "" : " under " + available.limit));
}

Memory AvailableMemory() {
    Memory memory{SystemMemory(), ""};
    const auto limit = [&](int64_t bytes, const std::string& what) {
        if (bytes < memory.bytes) memory = {std::max<int64_t>(bytes, 0), what};
    };
    struct rlimit rl {};
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        limit(int64_t(rl.rlim_cur) - std::max<int64_t>(ProcBytes("/proc/self/status", "VmSize:"), 0),
              "the process's address-space limit (ulimit -v)");
    if (getrlimit(RLIMIT_DATA, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        limit(int64_t(rl.rlim_cur) - std::max<int64_t>(ProcBytes("/proc/self/status", "VmData:"), 0),
              "the process's data limit (ulimit -d)");
    // Every group up from the process's own may set a limit.
    for (const std::filesystem::path& group : ControlGroupFolders("")) {
        int64_t max = 0, current = 0;
        if (std::ifstream(group / "memory.max") >> max && std::ifstream(group / "memory.current") >> current)
            limit(max - current, "the control group's memory limit (" + (group / "memory.max").string() + ")");
    }
    return memory;
}

}  // namespace maculo
