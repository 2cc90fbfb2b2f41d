// The time one 8-bit RGBA frame takes through the frei0r filter's instance
// (the conversions and the pattern) and through the engine's pattern alone,
// at the effect's default controls: the yardsticks for the filter's speed in
// a video host. The engine runs with its scratch kept between frames, as the
// filter's instance keeps it, and made for each frame, as the plug-in's
// calls make it. Reads the frame's raw bytes from a file. Prints the median
// of the runs, which a clip's frame rate (a mean over many frames) compares
// with fairly; the best run would flatter the engine on a shared machine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "controls/ControlValues.h"
#include "engine/ControlSettings.h"
#include "engine/DepthConversion.h"
#include "engine/PatternCpu.h"
#include "engine/PatternWorkspace.h"
#include "frei0r/FilterInstance.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    return n % 2 != 0 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: filter_bench FRAME.rgba WIDTH HEIGHT RUNS\n");
        return 2;
    }
    const int width = std::atoi(argv[2]), height = std::atoi(argv[3]), runs = std::max(1, std::atoi(argv[4]));
    std::ifstream file(argv[1], std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t pixels = size_t(width) * size_t(height);
    if (width <= 0 || height <= 0 || bytes.size() != pixels * 4) {
        std::fprintf(stderr, "%s does not hold %dx%d RGBA pixels\n", argv[1], width, height);
        return 1;
    }
    std::vector<uint32_t> in(pixels), out(pixels);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(in.data()));

    const auto filter = maculo::FilterInstance::Create(unsigned(width), unsigned(height));
    if (filter == nullptr) return 1;
    std::vector<double> filterTimes;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        filter->Update(in.data(), out.data());
        filterTimes.push_back(Milliseconds(start));
    }

    const maculo::PatternSettings settings =
        maculo::SettingsFromControls(maculo::PatternControlsOf(maculo::DefaultValues()), 1, false);
    const maculo::ImageDims dims{width, height, width};
    std::vector<maculo::PixelF> source(pixels), input(pixels), blurred(pixels), pattern(pixels);
    maculo::ConvertToWorking(reinterpret_cast<const maculo::PixelRgba8*>(in.data()), source.data(), dims, dims);
    // In turns, so that both see the same load. The pattern uses its input
    // as scratch: each run starts from a copy.
    maculo::PatternWorkspace workspace;
    std::vector<double> keptTimes, freshTimes;
    for (int i = 0; i < 2 * runs; ++i) {
        input = source;
        const bool keep = i % 2 == 0;
        const auto start = Clock::now();
        if (maculo::RunPatternCpu(input.data(), blurred.data(), pattern.data(), dims, settings, {},
                                  keep ? &workspace : nullptr)
                .status != maculo::PatternStatus::kDone)
            return 1;
        (keep ? keptTimes : freshTimes).push_back(Milliseconds(start));
    }
    std::printf("filter_ms %.2f\nengine_ms %.2f\nengine_fresh_ms %.2f\n", Median(filterTimes), Median(keptTimes),
                Median(freshTimes));
    return 0;
}
