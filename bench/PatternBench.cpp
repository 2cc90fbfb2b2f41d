// Speed of the processor pipeline on a full-HD frame, once per instruction
// set this processor runs. Each measured call runs a few iterations;
// `ms_per_iteration` divides the time of the calls alone (restoring the
// clobbered input is not timed) by the iterations they ran.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench/BenchImages.h"
#include "engine/BlurKernels.h"
#include "engine/PatternCpu.h"

namespace maculo::bench {
namespace {

constexpr int32_t kIterationsPerCall = 4;

void Pattern(benchmark::State& state, const BlurKernelSet* kernels, int32_t blurMode, float width) {
    const PatternSettings settings = Controls(blurMode, width, kIterationsPerCall);
    const std::vector<PixelF> source = Noise(kFullHd);
    std::vector<PixelF> input(source.size());
    std::vector<PixelF> blurred(source.size());
    std::vector<PixelF> pattern(source.size());

    double seconds = 0.0;
    for (auto _ : state) {
        input = source;
        const auto start = std::chrono::steady_clock::now();
        const PatternResult result = RunPatternCpuWith(*kernels, input.data(), blurred.data(), pattern.data(), kFullHd,
                                                       settings, {nullptr, nullptr});
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        seconds += elapsed.count();
        if (result.status != PatternStatus::kDone) state.SkipWithError("the pipeline failed");
        benchmark::DoNotOptimize(pattern.data());
    }
    state.counters["ms_per_iteration"] =
        1000.0 * seconds / (static_cast<double>(state.iterations()) * kIterationsPerCall);
}

void RegisterAll() {
    for (const InstructionSet set : kInstructionSets) {
        const BlurKernelSet* kernels = KernelsFor(set);
        if (!kernels) continue;
        const std::string name = std::string("Pattern/") + kernels->name;
        const struct {
            const char* label;
            int32_t mode;
            float width;
        } cases[] = {{"/GaussianWidth6", kBlurGaussian, 6.0f},
                     {"/GaussianWidth40", kBlurGaussian, 40.0f},
                     {"/BoxWidth6", kBlurBox, 6.0f}};
        for (const auto& c : cases) {
            benchmark::RegisterBenchmark((name + c.label).c_str(), Pattern, kernels, c.mode, c.width)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace
}  // namespace maculo::bench

int main(int argc, char** argv) {
    maculo::bench::RegisterAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
