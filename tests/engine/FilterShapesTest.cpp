#include "engine/FilterShapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace maculo {
namespace {

constexpr float kDefaultSigma = 6.0f / 2.8368f;  // "Width" 6 at full resolution
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(GaussianTableShape, LengthFollowsSigmaWithAFloorOfSeven) {
    EXPECT_EQ(ShapeGaussianTable(1.0f).taps, 9);
    EXPECT_EQ(ShapeGaussianTable(1.5f).taps, 13);
    EXPECT_EQ(ShapeGaussianTable(0.6f).taps, 7);
    EXPECT_EQ(ShapeGaussianTable(kDefaultSigma).taps, 19);
    EXPECT_EQ(ShapeGaussianTable(200.0f / 2.8368f).taps, 635);  // "Width" 200
}

TEST(GaussianTableShape, ZeroSigmaGivesFiniteCoefficientsAndAUnitCentre) {
    const GaussianTableShape shape = ShapeGaussianTable(0.0f);
    EXPECT_EQ(shape.coef1, 1.0f);
    EXPECT_EQ(shape.coef2, -3.4028235e38f);
    for (int32_t i = 0; i < shape.taps; ++i) {
        EXPECT_EQ(GaussianWeight(i, shape), i == 3 ? 1.0f : 0.0f) << i;
    }
    EXPECT_FLOAT_EQ(ShapeGaussianTable(1.0f).coef1, 1.0f / std::sqrt(6.2831855f));
}

TEST(GaussianTableShape, UnusableSigmasCountAsZeroAndHugeOnesAreBounded) {
    for (const float bad : {kNaN, kInf, -kInf, -1.0f}) {
        EXPECT_EQ(SanitizeSigma(bad), 0.0f);
        EXPECT_EQ(ShapeGaussianTable(bad).taps, 7);
        EXPECT_EQ(ShapeGaussianTable(bad).coef2, -3.4028235e38f);
    }
    EXPECT_EQ(SanitizeSigma(1e30f), kMaxSigma);
    EXPECT_EQ(ShapeGaussianTable(1e30f).taps, 18001);
}

TEST(BoxWindowShape, WholeAndFractionalTaps) {
    const BoxWindow three = ShapeBoxWindow(3.0f);
    EXPECT_EQ(three.k, 3);
    EXPECT_EQ(three.h, 1);
    EXPECT_EQ(three.f, 0.5f);

    const BoxWindow byDefault = ShapeBoxWindow(kDefaultSigma * 3.0f);
    EXPECT_EQ(byDefault.k, 7);
    EXPECT_EQ(byDefault.h, 3);
    EXPECT_NEAR(byDefault.f, 0.17259f, 1e-5f);

    for (const float bad : {kNaN, kInf, -kInf, -5.0f}) {
        const BoxWindow w = ShapeBoxWindow(bad);
        EXPECT_EQ(w.k, 1);
        EXPECT_EQ(w.f, 0.0f);
    }
    EXPECT_EQ(ShapeBoxWindow(1e30f).k, 6001);
}

TEST(Mirror, ReflectsAboutBothEndsWithoutRepeatingTheEdge) {
    const int32_t last = 9;
    EXPECT_EQ(MirrorIndex(0, last), 0);
    EXPECT_EQ(MirrorIndex(last, last), last);
    EXPECT_EQ(MirrorIndex(-1, last), 1);
    EXPECT_EQ(MirrorIndex(last + 1, last), last - 1);
    EXPECT_EQ(MirrorIndex(-last, last), last);
    EXPECT_EQ(MirrorIndex(2 * last, last), 0);
}

// Far beyond a single reflection the position keeps bouncing between the ends:
// inside the row, and one step apart for neighbouring positions.
TEST(Mirror, ShortRowsReflectAgainAndStayInside) {
    for (int32_t p = -700; p <= 700; ++p) EXPECT_EQ(MirrorIndex(p, 0), 0);
    for (int32_t last = 1; last <= 5; ++last) {
        for (int32_t p = -700; p < 700; ++p) {
            const int32_t a = MirrorIndex(p, last);
            const int32_t b = MirrorIndex(p + 1, last);
            ASSERT_TRUE(a >= 0 && a <= last) << p << " " << last;
            ASSERT_EQ(std::abs(a - b), 1) << p << " " << last;
        }
    }
}

}  // namespace
}  // namespace maculo
