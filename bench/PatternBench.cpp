// Speed of the processor pipeline on a full-HD frame. Each measured call runs
// a few iterations; `ms_per_iteration` divides the time of the calls alone
// (restoring the clobbered input is not timed) by the iterations they ran.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/PatternCpu.h"

namespace maculo {
namespace {

constexpr ImageDims kFullHd{1920, 1080, 1920};
constexpr int32_t kIterationsPerCall = 4;
constexpr float kDefaultAmount = 20.02654f;  // "Amount" 32

std::vector<PixelF> Noise(const ImageDims& dims) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> channel(0.0f, 1.0f);
    std::vector<PixelF> image(static_cast<size_t>(dims.pitch) * dims.height);
    for (PixelF& p : image) p = {1.0f, channel(rng), channel(rng), channel(rng)};
    return image;
}

// "Width" w at full resolution sets both sigmas to w / 2.8368.
void Pattern(benchmark::State& state, int32_t blurMode, float width) {
    const float sigma = width / 2.8368f;
    const PatternSettings settings{blurMode, kGrayOff, kIterationsPerCall, sigma, sigma,
                                   kDefaultAmount, false};
    const std::vector<PixelF> source = Noise(kFullHd);
    std::vector<PixelF> input(source.size());
    std::vector<PixelF> blurred(source.size());
    std::vector<PixelF> pattern(source.size());

    double seconds = 0.0;
    for (auto _ : state) {
        input = source;
        const auto start = std::chrono::steady_clock::now();
        const int32_t result = RunPatternCpu(input.data(), blurred.data(), pattern.data(), kFullHd,
                                             settings, {nullptr, nullptr});
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        seconds += elapsed.count();
        if (result != kPatternOk) state.SkipWithError("the pipeline failed");
        benchmark::DoNotOptimize(pattern.data());
    }
    state.counters["ms_per_iteration"] =
        1000.0 * seconds / (static_cast<double>(state.iterations()) * kIterationsPerCall);
}

BENCHMARK_CAPTURE(Pattern, GaussianWidth6, kBlurGaussian, 6.0f)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pattern, GaussianWidth40, kBlurGaussian, 40.0f)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pattern, BoxWidth6, kBlurBox, 6.0f)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace maculo

BENCHMARK_MAIN();
