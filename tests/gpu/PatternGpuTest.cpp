// The GPU program against the scalar model: each filter kernel against the
// step it computes, and the whole pipeline, rotations and weight tables
// included, against the processor's; and the pipeline's refusals. With
// contraction into fused multiply-adds off, kernels without an exponential
// or a division agree bit for bit; the others may differ where the device's
// exp or division rounds differently, by a few units in the last place.
// Renders on several threads sharing one state are the concurrent frame
// tests' matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/compute/buffer.hpp>
#include <boost/compute/command_queue.hpp>
#include <boost/compute/kernel.hpp>
#include <boost/compute/program.hpp>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/PatternCpu.h"
#include "gpu/PatternGpu.h"
#include "tests/engine/ReferencePattern.h"
#include "tests/gpu/GpuTestSupport.h"

namespace maculo::test {
namespace {

// The blur and sharpen sigma of the default controls.
constexpr float kDefaultSigma = 2.115059f;
constexpr float kFilterTolerance = 0x1p-22f;  // 4 ulps just below 1, the largest value

// pitch x height pixels of one value in every channel.
std::vector<PixelF> Filled(const ImageDims& dims, float value) {
    return std::vector<PixelF>(static_cast<size_t>(dims.pitch) * dims.height, PixelF{value, value, value, value});
}

// The largest difference between the visible channels of two pitch x height
// images: 0 where all are equal (+0 and -0, any two NaNs), infinite for a
// NaN against a number.
float LargestDifference(const std::vector<PixelF>& a, const std::vector<PixelF>& b, const ImageDims& dims) {
    float largest = 0.0f;
    for (int32_t y = 0; y < dims.height; ++y) {
        for (int32_t x = 0; x < dims.width; ++x) {
            const size_t i = static_cast<size_t>(y) * dims.pitch + x;
            for (float PixelF::*c : {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue}) {
                const float u = a.at(i).*c, v = b.at(i).*c;
                if (u == v || (std::isnan(u) && std::isnan(v))) continue;
                largest = std::isnan(u) || std::isnan(v) ? INFINITY : std::max(largest, std::fabs(u - v));
            }
        }
    }
    return largest;
}

// One queue on the test device, for running single kernels on host data.
class KernelBench {
public:
    explicit KernelBench(const GpuState& gpu) : gpu_(gpu), queue_(gpu.context, gpu.device) {}

    template <class T>
    boost::compute::buffer Upload(const std::vector<T>& data) {
        boost::compute::buffer buffer(gpu_.context, data.size() * sizeof(T));
        queue_.enqueue_write_buffer(buffer, 0, buffer.size(), data.data());
        return buffer;
    }

    std::vector<PixelF> Read(const boost::compute::buffer& buffer) {
        std::vector<PixelF> data(buffer.size() / sizeof(PixelF));
        queue_.enqueue_read_buffer(buffer, 0, buffer.size(), data.data());
        return data;
    }

    // Launches the named kernel over x by y work-items and waits for it.
    template <class... Args>
    void Run(const char* name, size_t x, size_t y, const Args&... args) {
        boost::compute::kernel kernel(gpu_.program, name);
        kernel.set_args(args...);
        const size_t global[2] = {x, y};
        queue_.enqueue_nd_range_kernel(kernel, 2, nullptr, global, nullptr);
        queue_.finish();
    }

private:
    const GpuState& gpu_;
    boost::compute::command_queue queue_;
};

using KernelParity = GpuTest;

// Rows down to a single pixel, far shorter than the widest tables' reach:
// reads reflect again and again, and a read outside the row would bring in
// the NaN of the spare columns.
TEST_F(KernelParity, RowBlursMatchTheModelForRowsOfAnyLength) {
    KernelBench bench(Gpu());
    for (const ImageDims rows : {ImageDims{23, 4, 27}, {3, 2, 4}, {2, 3, 3}, {1, 3, 2}}) {
        const std::vector<PixelF> image = reference::RandomImage(rows, 3, NAN);
        const auto src = bench.Upload(image);
        const auto out = bench.Upload(Filled(rows, -1.0f));
        for (const float amount : {0.0f, 1.0f, 2.0f, 3.0f, 3.0f * kDefaultSigma, 13.7f}) {
            bench.Run("BoxBlur", rows.width, rows.height, src, out, rows.width, rows.pitch, amount);
            EXPECT_LE(LargestDifference(bench.Read(out), reference::BoxRows(image, rows, amount), rows),
                      kFilterTolerance)
                << "length " << rows.width << ", box " << amount;
        }
        for (const float sigma : {0.0f, 0.5f, kDefaultSigma, 9.0f}) {
            const std::vector<float> table = reference::WeightTable(sigma);
            const auto taps = static_cast<int32_t>(table.size());
            bench.Run("GaussianBlur", rows.width, rows.height, src, out, rows.width, rows.pitch, taps,
                      bench.Upload(table));
            EXPECT_LE(LargestDifference(bench.Read(out), reference::GaussianRows(image, rows, table), rows),
                      kFilterTolerance)
                << "length " << rows.width << ", sigma " << sigma;
        }
    }
}

// The clamp takes NaN to 0 and infinities to the nearer bound.
TEST_F(KernelParity, UnsharpMaskMatchesTheModelBitForBit) {
    const ImageDims dims{9, 5, 11};
    std::vector<PixelF> image = reference::RandomImage(dims, 5, NAN);
    image[1] = PixelF{NAN, INFINITY, -INFINITY, 0.5f};
    const std::vector<PixelF> blurred = reference::RandomImage(dims, 6, NAN);
    const size_t count = image.size();
    KernelBench bench(Gpu());
    const auto src = bench.Upload(image);
    const auto out = bench.Upload(Filled(dims, -1.0f));
    std::vector<PixelF> expected(count);
    for (const float amount : {0.0f, 1.0f, 20.02654f, -3.5f}) {
        bench.Run("UnsharpMask", count, 1, src, bench.Upload(blurred), out, amount);
        for (size_t i = 0; i < count; ++i) {
            for (float PixelF::*c : {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue})
                expected[i].*c = reference::Unsharp(image[i].*c, blurred[i].*c, amount);
        }
        EXPECT_EQ(LargestDifference(bench.Read(out), expected, dims), 0.0f) << "amount " << amount;
    }
}

PatternSettings Settings(int32_t blurMode, int32_t grayMode, int32_t iterations, float blurSigma = kDefaultSigma,
                         float sharpenSigma = kDefaultSigma) {
    return {blurMode, grayMode, iterations, blurSigma, sharpenSigma, 20.02654f, true};
}

using PatternGpu = GpuTest;

// Windows far wider than the picture too: reads reflect again and again.
// Without iterations, the gray conversion is all there is, unclamped.
TEST_F(PatternGpu, OneIterationOrNoneMatchesTheProcessorPipeline) {
    const ImageDims dims{37, 29, 41};
    for (const PatternSettings& s :
         {Settings(kBlurGaussian, kGrayOff, 1), Settings(kBlurBox, kGrayOff, 1),
          Settings(kBlurGaussian, kGrayBefore, 1), Settings(kBlurBox, kGrayAfter, 1),
          Settings(7, 9, 1) /* unknown modes */, Settings(kBlurGaussian, kGrayOff, 1, 0.0f, 0.0f),
          Settings(kBlurBox, kGrayOff, 1, 4.7f, 0.6f), Settings(kBlurGaussian, kGrayOff, 1, NAN, -3.0f),
          Settings(kBlurBox, kGrayOff, 1, 70.5f, 70.5f), Settings(kBlurGaussian, kGrayOff, 1, 70.5f, 70.5f),
          Settings(kBlurGaussian, kGrayBefore, 0), Settings(kBlurBox, kGrayAfter, 0)}) {
        // The processor pipeline packs its planes into the source, after the GPU has read it.
        std::vector<PixelF> source = reference::RandomImage(dims, 10, NAN);
        std::vector<PixelF> gpu(source.size()), cpu(source.size()), blurred(source.size());
        EXPECT_TRUE(RunPatternGpu(source.data(), gpu.data(), dims, s, Gpu()));
        EXPECT_EQ(RunPatternCpu(source.data(), blurred.data(), cpu.data(), dims, s, {}).status, PatternStatus::kDone);
        EXPECT_LE(LargestDifference(gpu, cpu, dims), 1e-5f)
            << "modes " << s.blurMode << "/" << s.grayMode << ", sigmas " << s.blurSigma << "/" << s.sharpenSigma;
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
    EXPECT_FALSE(run({5, 4, 3}, gpu));
    // More elements than the kernels' int indices reach: refused before any
    // buffer is made, so the small images here are never read.
    EXPECT_FALSE(run({46341, 46341, 46341}, gpu));
    // Nothing to compute: success without a launch.
    EXPECT_TRUE(run({0, 4, 5}, gpu));
}

}  // namespace
}  // namespace maculo::test
