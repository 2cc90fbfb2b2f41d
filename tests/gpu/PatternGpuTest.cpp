// The whole GPU pipeline against the processor pipeline, its refusals, and
// concurrent use of one state.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/compute/program.hpp>
#include <cmath>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "engine/PatternCpu.h"
#include "gpu/PatternGpu.h"
#include "tests/gpu/GpuTestSupport.h"

namespace maculo::test {
namespace {

constexpr float kDefaultSigma = 2.115059f;

PatternSettings Settings(int32_t blurMode, int32_t grayMode, int32_t iterations, float blurSigma = kDefaultSigma,
                         float sharpenSigma = kDefaultSigma) {
    return {blurMode, grayMode, iterations, blurSigma, sharpenSigma, 20.02654f, true};
}

std::vector<PixelF> RunCpu(std::vector<PixelF> input, const ImageDims& dims, const PatternSettings& settings) {
    std::vector<PixelF> blurred(input.size()), pattern(input.size());
    EXPECT_EQ(RunPatternCpu(input.data(), blurred.data(), pattern.data(), dims, settings, {}).status,
              PatternStatus::kDone);
    return pattern;
}

std::vector<PixelF> RunGpu(const std::vector<PixelF>& source, const ImageDims& dims,
                           const PatternSettings& settings, const GpuState& gpu) {
    std::vector<PixelF> result(source.size());
    EXPECT_TRUE(RunPatternGpu(source.data(), result.data(), dims, settings, gpu));
    return result;
}

bool SameBits(const std::vector<PixelF>& a, const std::vector<PixelF>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(PixelF)) == 0;
}

using PatternGpu = GpuTest;

// Rows and columns shorter than the filters' reach too: reads reflect again.
TEST_F(PatternGpu, OneIterationMatchesTheProcessorPipeline) {
    std::vector<std::pair<ImageDims, PatternSettings>> cases;
    for (const PatternSettings& s : {Settings(kBlurGaussian, kGrayOff, 1), Settings(kBlurBox, kGrayOff, 1),
                                     Settings(kBlurGaussian, kGrayBefore, 1), Settings(kBlurBox, kGrayAfter, 1),
                                     Settings(7, 9, 1) /* unknown modes */,
                                     Settings(kBlurGaussian, kGrayOff, 1, 0.0f, 0.0f),
                                     Settings(kBlurBox, kGrayOff, 1, 4.7f, 0.6f),
                                     Settings(kBlurGaussian, kGrayOff, 1, NAN, -3.0f)}) {
        cases.emplace_back(ImageDims{37, 29, 41}, s);
    }
    const float widest = 70.5f;
    for (const ImageDims dims : {ImageDims{1, 1, 1}, {1, 9, 2}, {9, 1, 9}, {2, 2, 3}, {3, 50, 3}}) {
        for (const int32_t mode : {kBlurBox, kBlurGaussian}) {
            cases.emplace_back(dims, Settings(mode, kGrayOff, 1, widest, widest));
        }
    }
    for (const auto& [dims, s] : cases) {
        const std::vector<PixelF> source = RandomImage(dims, 10);
        EXPECT_LE(Compare(RunGpu(source, dims, s, Gpu()), RunCpu(source, dims, s), dims).largest, 1e-5f)
            << dims.width << "x" << dims.height << ", modes " << s.blurMode << "/" << s.grayMode << ", sigmas "
            << s.blurSigma << "/" << s.sharpenSigma;
    }
}

// The iteration amplifies last-bit differences near 0.5, so after many
// iterations a few values may tip the other way; nearly all must agree.
TEST_F(PatternGpu, ThirtyTwoDefaultIterationsAgreeWithTheProcessorToOneLevelInEightBits) {
    const ImageDims dims{64, 48, 67};
    const std::vector<PixelF> source = RandomImage(dims, 11);
    const PatternSettings s = Settings(kBlurGaussian, kGrayOff, 32);
    EXPECT_GE(Compare(RunGpu(source, dims, s, Gpu()), RunCpu(source, dims, s), dims, 1.0f / 255.0f).shareWithin,
              0.999);
}

TEST_F(PatternGpu, ZeroIterationsGiveTheSourceOrItsUnclampedGrayConversion) {
    const ImageDims dims{6, 4, 8};
    std::vector<PixelF> source = RandomImage(dims, 12);
    source[1] = PixelF{0.25f, 1.0f, 1.0f, 1.0f};
    // The copy takes every element, spare columns and their NaN bits included.
    EXPECT_TRUE(SameBits(RunGpu(source, dims, Settings(kBlurGaussian, kGrayOff, 0), Gpu()), source));

    std::vector<PixelF> gray(source.size());
    std::ranges::transform(source, gray.begin(), reference::Gray);
    for (const int32_t mode : {kGrayBefore, kGrayAfter}) {
        const std::vector<PixelF> result = RunGpu(source, dims, Settings(kBlurBox, mode, 0), Gpu());
        EXPECT_EQ(Compare(result, gray, dims).ulps, 0) << "gray mode " << mode;
        EXPECT_GT(result[1].green, 1.0f) << "gray mode " << mode;
    }
}

// Each render has its own queue, kernels and buffers: arguments set by one
// thread must never reach another's launches.
TEST_F(PatternGpu, EightThreadsOnOneStateEachGetTheirOwnResult) {
    constexpr int kThreads = 8;
    const ImageDims dims{24, 20, 26};
    std::vector<std::vector<PixelF>> sources, expected;
    std::vector<PatternSettings> settings;
    for (int t = 0; t < kThreads; ++t) {
        sources.push_back(RandomImage(dims, 20 + t));
        settings.push_back(Settings(t % 2 ? kBlurBox : kBlurGaussian, 1 + t % 3, 2 + t % 3, 1.0f + 0.25f * t,
                                    2.0f - 0.125f * t));
        expected.push_back(RunGpu(sources[t], dims, settings[t], Gpu()));
    }
    // Races show only now and then; a few rounds make them likely to.
    for (int round = 0; round < 3; ++round) {
        std::vector<std::vector<PixelF>> results(kThreads, Filled(dims, -1.0f));
        bool ok[kThreads] = {};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                ok[t] = RunPatternGpu(sources[t].data(), results[t].data(), dims, settings[t], Gpu());
            });
        }
        for (std::thread& thread : threads) thread.join();
        for (int t = 0; t < kThreads; ++t) {
            EXPECT_TRUE(ok[t] && Compare(results[t], expected[t], dims).ulps == 0)
                << "round " << round << ", thread " << t;
        }
    }
}

// A refusal writes nothing: the caller runs the processor pipeline instead.
TEST_F(PatternGpu, RefusesWhatItCannotComputeWithoutTouchingTheResult) {
    const std::vector<PixelF> source = RandomImage({5, 4, 5}, 30);
    const std::vector<PixelF> untouched = Filled({5, 4, 5}, -7.0f);
    const auto run = [&](const ImageDims& dims, const GpuState& gpu) {
        std::vector<PixelF> result = untouched;
        const bool done = RunPatternGpu(source.data(), result.data(), dims, Settings(kBlurGaussian, kGrayOff, 2), gpu);
        EXPECT_TRUE(SameBits(result, untouched)) << "the result was written";
        return done;
    };
    const GpuState& gpu = Gpu();
    const GpuState unbuilt{gpu.device, gpu.context,
                           boost::compute::program::create_with_source(kPatternProgramSource, gpu.context)};
    for (const GpuState& incomplete :
         {GpuState{}, GpuState{gpu.device, {}, {}}, GpuState{gpu.device, gpu.context, {}}, unbuilt}) {
        EXPECT_FALSE(run({5, 4, 5}, incomplete));
    }
    EXPECT_FALSE(run({-1, 4, 5}, gpu));
    EXPECT_FALSE(run({5, 4, 3}, gpu));
    // More elements than the kernels' int indices reach: refused before any
    // buffer is made, so the small images here are never read.
    EXPECT_FALSE(run({46341, 46341, 46341}, gpu));
    // Nothing to compute: success without a launch.
    EXPECT_TRUE(run({0, 4, 5}, gpu));
    EXPECT_TRUE(run({5, 0, 5}, gpu));
}

}  // namespace
}  // namespace maculo::test
