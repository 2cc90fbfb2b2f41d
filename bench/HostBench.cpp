// Per iteration through our host: the plug-in's own binary renders a
// 1920x1080 float frame in our host, called as the command-line renderer
// calls it, and each figure is the best run of 1 + 4 iterations less the
// best run of 1, over 4, as the benchmark measures the engine alone; the two
// side by side show what the host and the plug-in's shell add to an
// iteration. Four distinct channels (Gray off) and one plane (opaque, Gray
// before), Width 6, at one thread and at all of them.
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/PluginRenderer.h"

namespace maculo {
namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080, kExtraIterations = 4;

// A float frame of uniform noise in every channel, or opaque.
FrameImage NoiseFloats(bool opaque) {
    FrameImage frame = MakeFrame(32, kWidth, kHeight, !opaque);
    uint32_t state = 12345;
    for (size_t i = 0; i < frame.storage.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        frame.storage[i] = opaque && i % 4 == 0 ? 1.0f : float(state >> 8) / float(1u << 24);
    }
    return frame;
}

// The controls the command line would set with these options.
ControlRamps ControlsOf(std::vector<std::string> args) {
    args.insert(args.begin(), {"bench", "-o", "unused.png"});  // the command line wants an output
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return ParseOptions(int(argv.size()), argv.data()).controls;
}

double BestSeconds(PluginRenderer& renderer, const FrameImage& source, const ControlRamps& controls,
                   FrameImage& result) {
    double best = 1e30, total = 0.0;
    for (int i = 0; i < 30 && (i < 5 || total < 2.0); ++i) {
        const auto start = std::chrono::steady_clock::now();
        const PF_Err err = renderer.Render(source, ControlsAt(controls, 0, 1), 0,
                                             [](A_long, A_long) { return PF_Err_NONE; }, result);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (err != PF_Err_NONE) throw std::runtime_error("the plug-in failed, host error " + std::to_string(err));
        best = std::min(best, elapsed.count());
        total += elapsed.count();
    }
    return best;
}

int Run() {
    PluginRenderer renderer(MACULO_PLUGIN_PATH, false, 1);
    struct Work {
        const char* name;
        FrameImage source;
        std::vector<std::string> options;
    };
    Work works[] = {{"Four channels, Width 6, through our host", NoiseFloats(false), {"--gray", "off"}},
                    {"Opaque, gray before, Width 6, through our host: one plane", NoiseFloats(true), {}}};
    FrameImage result;
    std::printf("| Work | Threads | Ours (ms/iteration) |\n|---|---|---|\n");
    const int all = omp_get_max_threads();  // the runtime's default team
    for (const int threads : {1, all}) {
        omp_set_num_threads(threads);
        for (Work& work : works) {
            std::vector<std::string> one = work.options, more = work.options;
            one.insert(one.end(), {"--amount", "1"});
            more.insert(more.end(), {"--amount", std::to_string(1 + kExtraIterations)});
            const double shortRun = BestSeconds(renderer, work.source, ControlsOf(one), result);
            const double longRun = BestSeconds(renderer, work.source, ControlsOf(more), result);
            std::printf("| %s | %d | %.2f |\n", work.name, threads, 1000.0 * (longRun - shortRun) / kExtraIterations);
        }
        if (all == 1) break;
    }
    return 0;
}

}  // namespace
}  // namespace maculo

int main() {
    try {
        return maculo::Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "host_bench: %s\n", e.what());
        return 1;
    }
}
