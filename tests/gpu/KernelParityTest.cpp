// Each kernel of the program against the processor operation it mirrors.
// With contraction into fused multiply-adds off, kernels without an
// exponential or a division agree bit for bit; the others may differ where
// the device's exp or division rounds differently, by a few ulps.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/FilterShapes.h"
#include "engine/PatternOps.h"
#include "tests/gpu/GpuTestSupport.h"

namespace maculo::test {
namespace {

constexpr int64_t kFilterUlps = 4;
constexpr float kDefaultSigma = 2.115059f;

std::vector<float> WeightTable(float sigma) {
    const GaussianTableShape shape = ShapeGaussianTable(sigma);
    std::vector<float> table(static_cast<size_t>(shape.taps));
    BuildWeightTable(table.data(), shape.taps, shape.coef1, shape.coef2);
    return table;
}

using KernelParity = GpuTest;

TEST_F(KernelParity, QuarterTurnsMovePixelsExactlyAsTheProcessorDoes) {
    const ImageDims dims{13, 7, 16};
    const std::vector<PixelF> image = RandomImage(dims, 1);
    KernelBench bench(Gpu());
    const auto turned = bench.Upload(Filled(dims, -1.0f));
    const auto back = bench.Upload(Filled(dims, -1.0f));

    bench.Run("Rotate90", 13, 7, bench.Upload(image), turned, dims.pitch, dims.height);
    std::vector<PixelF> cpuTurned(image.size());
    RotateForward(image.data(), cpuTurned.data(), dims.pitch, dims.height);
    // Columns became rows: the picture is the first width rows of height pixels.
    ExpectWithinUlps(bench.Read<PixelF>(turned), cpuTurned, {7, 13, 7}, 0);

    bench.Run("Rotate_90", 7, 13, turned, back, dims.height, dims.pitch);
    std::vector<PixelF> cpuBack(image.size());
    RotateBack(cpuTurned.data(), cpuBack.data(), dims.height, dims.pitch);
    ExpectWithinUlps(bench.Read<PixelF>(back), cpuBack, dims, 0);
    ExpectWithinUlps(bench.Read<PixelF>(back), image, dims, 0);
}

// A table that is 1 at one entry and 0 elsewhere turns the Gaussian row blur
// into a plain read at that offset: the reflection, on rows far shorter than
// the table's reach too. A read outside the row would bring in the NaN of the
// spare columns.
TEST_F(KernelParity, RowReadsReflectAsOnTheProcessorForRowsOfAnyLength) {
    constexpr int32_t kTaps = 41;
    KernelBench bench(Gpu());
    for (const int32_t length : {1, 2, 3, 5, 30}) {
        const ImageDims rows{length, 3, length + 3};
        const std::vector<PixelF> image = RandomImage(rows, 2);
        const auto out = bench.Upload(Filled(rows, -1.0f));
        for (const int32_t hot : {0, 1, 17, 20, 33, 40}) {
            SCOPED_TRACE("row length " + std::to_string(length) + ", tap " + std::to_string(hot));
            std::vector<float> table(kTaps, 0.0f);
            table[hot] = 1.0f;
            bench.Run("GaussianBlur", length, 3, bench.Upload(image), out, length, rows.pitch,
                      kTaps, bench.Upload(table));
            std::vector<PixelF> expected(image.size());
            GaussianRowBlur(image.data(), expected.data(), rows, table.data(), kTaps);
            ExpectWithinUlps(bench.Read<PixelF>(out), expected, rows, 0);
        }
    }
}

TEST_F(KernelParity, RowBlursMatchTheProcessor) {
    KernelBench bench(Gpu());
    for (const ImageDims rows : {ImageDims{23, 4, 27}, ImageDims{3, 2, 4}}) {
        const std::vector<PixelF> image = RandomImage(rows, 3);
        const auto src = bench.Upload(image);
        const auto out = bench.Upload(Filled(rows, -1.0f));
        std::vector<PixelF> expected(image.size());
        for (const float amount : {0.0f, 1.0f, 2.0f, 3.0f, 3.0f * kDefaultSigma, 13.7f}) {
            SCOPED_TRACE("length " + std::to_string(rows.width) + ", box " + std::to_string(amount));
            bench.Run("BoxBlur", rows.width, rows.height, src, out, rows.width, rows.pitch, amount);
            BoxRowBlur(image.data(), expected.data(), rows, amount);
            ExpectWithinUlps(bench.Read<PixelF>(out), expected, rows, kFilterUlps);
        }
        for (const float sigma : {0.0f, 0.5f, kDefaultSigma, 9.0f}) {
            SCOPED_TRACE("length " + std::to_string(rows.width) + ", sigma " + std::to_string(sigma));
            const std::vector<float> table = WeightTable(sigma);
            const auto taps = static_cast<int32_t>(table.size());
            bench.Run("GaussianBlur", rows.width, rows.height, src, out, rows.width, rows.pitch,
                      taps, bench.Upload(table));
            GaussianRowBlur(image.data(), expected.data(), rows, table.data(), taps);
            ExpectWithinUlps(bench.Read<PixelF>(out), expected, rows, kFilterUlps);
        }
    }
}

TEST_F(KernelParity, WeightTablesMatchTheProcessorWithinTheExponentialsError) {
    KernelBench bench(Gpu());
    for (const float sigma : {0.0f, 0.5f, 1.0f, kDefaultSigma, 10.0f, 70.5f}) {
        const GaussianTableShape shape = ShapeGaussianTable(sigma);
        const auto lut = bench.Upload(std::vector<float>(static_cast<size_t>(shape.taps), -1.0f));
        bench.Run("CreateKernel", shape.taps, 1, lut, shape.taps, shape.coef1, shape.coef2);
        const std::vector<float> gpu = bench.Read<float>(lut);
        const std::vector<float> cpu = WeightTable(sigma);
        for (size_t i = 0; i < cpu.size(); ++i) {
            ASSERT_LE(UlpDistance(gpu[i], cpu[i]), kFilterUlps)
                << "sigma " << sigma << ", entry " << i << ": " << gpu[i] << " vs " << cpu[i];
        }
    }
}

TEST_F(KernelParity, UnsharpMaskAndGrayMatchTheProcessorBitForBit) {
    const ImageDims dims{9, 5, 11};
    std::vector<PixelF> image = RandomImage(dims, 5);
    image[0] = PixelF{0.5f, 1.0f, 1.0f, 1.0f};
    // The clamp takes NaN to 0 and infinities to the nearer bound.
    image[1] = PixelF{NAN, INFINITY, -INFINITY, 0.5f};
    const std::vector<PixelF> blurred = RandomImage(dims, 6);
    const size_t count = image.size();
    KernelBench bench(Gpu());
    const auto src = bench.Upload(image);
    const auto out = bench.Upload(Filled(dims, -1.0f));
    std::vector<PixelF> expected(count);

    for (const float amount : {0.0f, 1.0f, 20.02654f, -3.5f}) {
        SCOPED_TRACE("amount " + std::to_string(amount));
        bench.Run("UnsharpMask", count, 1, src, bench.Upload(blurred), out, amount);
        UnsharpMask(image.data(), blurred.data(), expected.data(), dims, amount);
        ExpectWithinUlps(bench.Read<PixelF>(out), expected, dims, 0);
    }

    // In place, as the pipeline runs it after the last iteration.
    bench.Run("ConvGray", count, 1, src, src);
    ConvertToGray(image.data(), expected.data(), dims);
    const std::vector<PixelF> gray = bench.Read<PixelF>(src);
    ExpectWithinUlps(gray, expected, dims, 0);
    // White comes out just above 1, unclamped; alpha passes through.
    EXPECT_EQ(gray[0].alpha, 0.5f);
    EXPECT_EQ(gray[0].red, 1.0f + 0x1p-20f);
}

}  // namespace
}  // namespace maculo::test
