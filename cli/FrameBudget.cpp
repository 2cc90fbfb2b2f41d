#include "FrameBudget.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "CliError.h"
#include "minihost/WorldSuite.h"

namespace maculo {
namespace {

constexpr int64_t kFloatPixelBytes = 16;  // the effect works on four floats per pixel

std::string GiB(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GiB", double(bytes) / double(int64_t{1} << 30));
    return text;
}

std::string SizeOf(int32_t width, int32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

}  // namespace

int64_t FrameMemory(int32_t width, int32_t height, int32_t depth, int64_t inputBytes) {
    const int64_t pixels = int64_t{width} * height;
    const int64_t framePixelBytes = depth / 2;
    // Working images; layer and output; source and result frames; the file's
    // channels and the writer's own copy of them.
    return 3 * pixels * kFloatPixelBytes + 6 * pixels * framePixelBytes + inputBytes;
}

void CheckFrameFits(int32_t width, int32_t height, int32_t depth, int64_t inputBytes, int64_t available) {
    const int64_t image = int64_t{width} * height * kFloatPixelBytes;
    if (image > minihost::kMaxWorldBytes)
        throw Failure("a " + SizeOf(width, height) + " frame needs working images of " + GiB(image) +
                      " each; the host makes them up to " + GiB(minihost::kMaxWorldBytes) + ", frames of up to " +
                      std::to_string(minihost::kMaxWorldBytes / kFloatPixelBytes / 1000000) + " megapixels");
    const int64_t needed = FrameMemory(width, height, depth, inputBytes);
    if (needed > available)
        throw Failure("a " + SizeOf(width, height) + " frame at " + std::to_string(depth) + " bits needs about " +
                      GiB(needed) + " of memory; " + GiB(available) + " is available");
}

int64_t AvailableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    for (std::string key; meminfo >> key;) {
        int64_t kib = 0;
        if (key == "MemAvailable:" && meminfo >> kib) return kib * 1024;
        meminfo.ignore(INT32_MAX, '\n');
    }
    return int64_t{sysconf(_SC_PHYS_PAGES)} * sysconf(_SC_PAGE_SIZE);
}

}  // namespace maculo
