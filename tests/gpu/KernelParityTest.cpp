// The filter kernels of the program against the steps of the scalar model
// they compute; the rotations and the weight table show in the whole
// pipeline's comparison with the processor's. With contraction into fused
// multiply-adds off, kernels without an exponential or a division agree bit
// for bit; the others may differ where the device's exp or division rounds
// differently, by a few units in the last place of values below 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/compute/buffer.hpp>
#include <boost/compute/command_queue.hpp>
#include <boost/compute/kernel.hpp>
#include <cmath>
#include <vector>

#include "tests/gpu/GpuTestSupport.h"

namespace maculo::test {
namespace {

constexpr float kFilterTolerance = 0x1p-22f;  // 4 ulps just below 1, the largest value

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

    template <class T>
    std::vector<T> Read(const boost::compute::buffer& buffer) {
        std::vector<T> data(buffer.size() / sizeof(T));
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
            EXPECT_LE(LargestDifference(bench.Read<PixelF>(out), reference::BoxRows(image, rows, amount), rows),
                      kFilterTolerance)
                << "length " << rows.width << ", box " << amount;
        }
        for (const float sigma : {0.0f, 0.5f, kDefaultSigma, 9.0f}) {
            const std::vector<float> table = reference::WeightTable(sigma);
            const auto taps = static_cast<int32_t>(table.size());
            bench.Run("GaussianBlur", rows.width, rows.height, src, out, rows.width, rows.pitch, taps,
                      bench.Upload(table));
            EXPECT_LE(LargestDifference(bench.Read<PixelF>(out), reference::GaussianRows(image, rows, table), rows),
                      kFilterTolerance)
                << "length " << rows.width << ", sigma " << sigma;
        }
    }
}

TEST_F(KernelParity, UnsharpMaskAndGrayMatchTheModelBitForBit) {
    const ImageDims dims{9, 5, 11};
    std::vector<PixelF> image = reference::RandomImage(dims, 5, NAN);
    image[0] = PixelF{0.5f, 1.0f, 1.0f, 1.0f};
    // The clamp takes NaN to 0 and infinities to the nearer bound.
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
        EXPECT_EQ(LargestDifference(bench.Read<PixelF>(out), expected, dims), 0.0f) << "amount " << amount;
    }

    // In place, as the pipeline runs it after the last iteration.
    bench.Run("ConvGray", count, 1, src, src);
    std::ranges::transform(image, expected.begin(), reference::Gray);
    const std::vector<PixelF> gray = bench.Read<PixelF>(src);
    EXPECT_EQ(LargestDifference(gray, expected, dims), 0.0f);
    // White comes out just above 1, unclamped; alpha passes through.
    EXPECT_EQ(gray[0].alpha, 0.5f);
    EXPECT_EQ(gray[0].red, 1.0f + 0x1p-20f);
}

}  // namespace
}  // namespace maculo::test
