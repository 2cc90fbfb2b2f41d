#include "engine/PatternOps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace maculo {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

PixelF Gray(float v) { return {v, v, v, v}; }

// A one-row image holding a single 1 in the middle of zeros.
std::vector<PixelF> Impulse(int32_t length) {
    std::vector<PixelF> row(length, Gray(0.0f));
    row[length / 2] = Gray(1.0f);
    return row;
}

std::vector<float> Alphas(const std::vector<PixelF>& row) {
    std::vector<float> out;
    for (const PixelF& p : row) out.push_back(p.alpha);
    return out;
}

TEST(Clamp, NaNAndInfinitiesLandInsideTheRange) {
    EXPECT_EQ(Saturate(kNaN), 0.0f);
    EXPECT_EQ(Saturate(kInf), 1.0f);
    EXPECT_EQ(Saturate(-kInf), 0.0f);
    EXPECT_EQ(Saturate(-0.5f), 0.0f);
    EXPECT_EQ(Saturate(1.5f), 1.0f);
    EXPECT_EQ(Saturate(0.25f), 0.25f);

    // Against a black blur with gain 1 the unsharp mask doubles each channel,
    // then clamps it.
    const std::vector<PixelF> src = {{kNaN, kInf, -kInf, 0.25f}, {-0.5f, 0.75f, 0.5f, 0.0f}};
    const std::vector<PixelF> black(2, Gray(0.0f));
    std::vector<PixelF> out(2);
    UnsharpMask(src.data(), black.data(), out.data(), {2, 1, 2}, 1.0f);
    const float expected[] = {0.0f, 1.0f, 0.0f, 0.5f, 0.0f, 1.0f, 1.0f, 0.0f};
    EXPECT_EQ(std::memcmp(out.data(), expected, sizeof expected), 0);
}

TEST(GrayConversion, WhiteTurnsSlightlyAboveOneAndAlphaIsKept) {
    std::vector<PixelF> image = {{0.5f, 1.0f, 1.0f, 1.0f}, {0.75f, 0.0f, 0.0f, 1.0f}};
    ConvertToGray(image.data(), image.data(), {2, 1, 2});  // in place
    const float white = 1.0f + std::ldexp(1.0f, -20);
    EXPECT_EQ(image[0].alpha, 0.5f);
    EXPECT_EQ(image[0].red, white);
    EXPECT_EQ(image[0].green, white);
    EXPECT_EQ(image[0].blue, white);
    EXPECT_EQ(image[1].alpha, 0.75f);
    EXPECT_EQ(image[1].red, 0.114478f);
}

TEST(BoxRowBlur, FractionalWindowsWeighTheOuterPixels) {
    const std::vector<PixelF> src = Impulse(9);
    std::vector<PixelF> out(9);
    const ImageDims row{9, 1, 9};

    BoxRowBlur(src.data(), out.data(), row, 3.0f);  // weights 1/2, 1, 1, 1, 1/2 over 4
    EXPECT_EQ(Alphas(out), (std::vector<float>{0, 0, 0.125f, 0.25f, 0.25f, 0.25f, 0.125f, 0, 0}));

    BoxRowBlur(src.data(), out.data(), row, 1.0f);  // 1/2, 1, 1/2 over 2
    EXPECT_EQ(Alphas(out), (std::vector<float>{0, 0, 0, 0.25f, 0.5f, 0.25f, 0, 0, 0}));

    BoxRowBlur(src.data(), out.data(), row, 0.0f);  // the pixel itself
    EXPECT_EQ(Alphas(out), Alphas(src));
}

// With a width of 2 the outer taps weigh 0 but are still read, as on the
// device: an infinity there poisons the sum, which the clamp turns into 0.
TEST(BoxRowBlur, ZeroWeightTapsAreStillRead) {
    std::vector<PixelF> src(7, Gray(0.5f));
    src[4] = Gray(kInf);
    std::vector<PixelF> out(7);
    BoxRowBlur(src.data(), out.data(), {7, 1, 7}, 2.0f);
    EXPECT_EQ(out[2].alpha, 0.0f);
    EXPECT_EQ(out[1].alpha, 0.5f);
}

TEST(Rotation, ForwardTurnsClockwiseAndBackRestores) {
    // a b c       d a
    // d e f  ->   e b
    //             f c
    const std::vector<PixelF> src = {Gray(1), Gray(2), Gray(3), Gray(4), Gray(5), Gray(6)};
    std::vector<PixelF> turned(6);
    RotateForward(src.data(), turned.data(), 3, 2);
    EXPECT_EQ(Alphas(turned), (std::vector<float>{4, 1, 5, 2, 6, 3}));

    std::vector<PixelF> back(6);
    RotateBack(turned.data(), back.data(), 2, 3);
    EXPECT_EQ(Alphas(back), Alphas(src));
}

}  // namespace
}  // namespace maculo
