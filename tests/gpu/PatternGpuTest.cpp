// The whole GPU pipeline against the processor pipeline, and its refusals.
// Renders on several threads sharing one state are the concurrent frame
// tests' matter.
#include <gtest/gtest.h>

#include <boost/compute/program.hpp>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/PatternCpu.h"
#include "gpu/PatternGpu.h"
#include "tests/gpu/GpuTestSupport.h"

namespace maculo::test {
namespace {

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

std::vector<PixelF> RunGpu(const std::vector<PixelF>& source, const ImageDims& dims, const PatternSettings& settings,
                           const GpuState& gpu) {
    std::vector<PixelF> result(source.size());
    EXPECT_TRUE(RunPatternGpu(source.data(), result.data(), dims, settings, gpu));
    return result;
}

using PatternGpu = GpuTest;

// Rows and columns shorter than the filters' reach too: reads reflect again.
// Without iterations, the gray conversion is all there is, unclamped.
TEST_F(PatternGpu, OneIterationOrNoneMatchesTheProcessorPipeline) {
    std::vector<std::pair<ImageDims, PatternSettings>> cases;
    for (const PatternSettings& s :
         {Settings(kBlurGaussian, kGrayOff, 1), Settings(kBlurBox, kGrayOff, 1),
          Settings(kBlurGaussian, kGrayBefore, 1), Settings(kBlurBox, kGrayAfter, 1),
          Settings(7, 9, 1) /* unknown modes */, Settings(kBlurGaussian, kGrayOff, 1, 0.0f, 0.0f),
          Settings(kBlurBox, kGrayOff, 1, 4.7f, 0.6f), Settings(kBlurGaussian, kGrayOff, 1, NAN, -3.0f),
          Settings(kBlurGaussian, kGrayBefore, 0), Settings(kBlurBox, kGrayAfter, 0)}) {
        cases.emplace_back(ImageDims{37, 29, 41}, s);
    }
    const float widest = 70.5f;
    for (const ImageDims dims : {ImageDims{1, 1, 1}, {1, 9, 2}, {9, 1, 9}, {2, 2, 3}, {3, 50, 3}}) {
        for (const int32_t mode : {kBlurBox, kBlurGaussian}) {
            cases.emplace_back(dims, Settings(mode, kGrayOff, 1, widest, widest));
        }
    }
    for (const auto& [dims, s] : cases) {
        const std::vector<PixelF> source = reference::RandomImage(dims, 10, NAN);
        EXPECT_LE(LargestDifference(RunGpu(source, dims, s, Gpu()), RunCpu(source, dims, s), dims), 1e-5f)
            << dims.width << "x" << dims.height << ", modes " << s.blurMode << "/" << s.grayMode << ", sigmas "
            << s.blurSigma << "/" << s.sharpenSigma;
    }
}

// A refusal writes nothing: the caller runs the processor pipeline instead.
TEST_F(PatternGpu, RefusesWhatItCannotComputeWithoutTouchingTheResult) {
    const std::vector<PixelF> source = reference::RandomImage({5, 4, 5}, 30, NAN);
    const std::vector<PixelF> untouched = Filled({5, 4, 5}, -7.0f);
    const auto run = [&](const ImageDims& dims, const GpuState& gpu) {
        std::vector<PixelF> result = untouched;
        const bool done = RunPatternGpu(source.data(), result.data(), dims, Settings(kBlurGaussian, kGrayOff, 2), gpu);
        EXPECT_EQ(std::memcmp(result.data(), untouched.data(), result.size() * sizeof(PixelF)), 0)
            << "the result was written";
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
