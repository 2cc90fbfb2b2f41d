// Per iteration through our host beside the engine alone: the plug-in's own
// binary renders a 1920x1080 float frame in our host, called as the
// command-line renderer calls it, and the engine renders the same frame
// with the same settings, in turn in one process, each measured as every
// benchmark here measures (PerIteration.h); what the host and the plug-in's
// shell add to an iteration is the difference. Four distinct channels (Gray
// off) and one plane (opaque, Gray before), Width 6, at one thread and at
// all of them.
#include <omp.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench/BenchImages.h"
#include "bench/PerIteration.h"
#include "engine/PatternCpu.h"
#include "renderlib/Options.h"
#include "rendermodule/PluginRenderer.h"

namespace maculo::bench {
namespace {

FrameImage FrameOf(const std::vector<PixelF>& pixels, bool opaque) {
    FrameImage frame = MakeFrame(32, kFullHd.width, kFullHd.height, !opaque);
    std::memcpy(frame.Bytes(), pixels.data(), pixels.size() * sizeof(PixelF));
    return frame;
}

struct Work {
    const char* name;
    std::vector<PixelF> pixels;
    bool opaque;
    std::vector<std::string> options;  // the command line's for the work
    int32_t grayMode;                  // the engine's
};

// Milliseconds per iteration through the host and in the engine alone.
std::pair<double, double> MsPerIteration(PluginRenderer& renderer, const Work& work) {
    const FrameImage frame = FrameOf(work.pixels, work.opaque);
    const auto valuesFor = [&](int32_t iterations) {
        std::vector<std::string> options = work.options;  // the command line wants an output too
        options.insert(options.end(), {"--amount", std::to_string(iterations), "-o", "unused.png"});
        return ControlsAt(ParseOptions(options).controls, 0, 1);
    };
    const ParamValues values[2] = {valuesFor(1), valuesFor(1 + kExtraIterations)};
    FrameImage result;
    const TimedWork host{[&](int32_t iterations) {
        const PF_Err err = renderer.Render(
            frame, values[iterations == 1 ? 0 : 1], 0, [](A_long, A_long) { return PF_Err_NONE; }, result);
        if (err != PF_Err_NONE) throw std::runtime_error("the plug-in failed, host error " + std::to_string(err));
    }};
    std::vector<PixelF> input, blurred = work.pixels, pattern = work.pixels;
    const TimedWork engine{
        [&](int32_t iterations) {
            const PatternSettings settings = Controls(kBlurGaussian, 6.0f, iterations, work.grayMode);
            RunPatternCpu(input.data(), blurred.data(), pattern.data(), kFullHd, settings, {nullptr, nullptr});
        },
        [&] { input = work.pixels; }};  // the engine writes over its input
    const std::vector<double> ms = MsPerIterationInTurn({host, engine}, 2.0);
    return {ms[0], ms[1]};
}

int Run() {
    PluginRenderer renderer(MACULO_PLUGIN_PATH, false, 1);
    const Work works[] = {{"Four channels, Width 6", Noise(kFullHd, false), false, {"--gray", "off"}, kGrayOff},
                          {"Opaque, gray before, Width 6: one plane", Noise(kFullHd), true, {}, kGrayBefore}};
    std::printf("| Work (ms/iteration) | Threads | Through our host | Engine alone | Host over engine |\n");
    std::printf("|---|---|---|---|---|\n");
    const int all = omp_get_max_threads();  // the runtime's default team
    for (const int threads : {1, all}) {
        omp_set_num_threads(threads);
        for (const Work& work : works) {
            const auto [host, engine] = MsPerIteration(renderer, work);
            std::printf("| %s | %d | %.2f | %.2f | %+.0f %% |\n", work.name, threads, host, engine,
                        100.0 * (host / engine - 1.0));
        }
        if (all == 1) break;
    }
    return 0;
}

}  // namespace
}  // namespace maculo::bench

int main() {
    try {
        return maculo::bench::Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "host_bench: %s\n", e.what());
        return 1;
    }
}
