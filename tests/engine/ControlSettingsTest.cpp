#include "engine/ControlSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace maculo {
namespace {

// The effect's default controls.
PatternControls Defaults() {
    return {kModeSimple, kBlurGaussian, kGrayBefore, 6.0, 6.0, 6.0, 1000.0, 32};
}

TEST(ControlSettings, SimpleModeFollowsWidthAndAmount) {
    const PatternSettings full = SettingsFromControls(Defaults(), 1, false);
    EXPECT_FLOAT_EQ(full.blurSigma, 2.115059f);
    EXPECT_EQ(full.sharpenSigma, full.blurSigma);
    EXPECT_FLOAT_EQ(full.sharpenAmount, 20.02654f);
    EXPECT_EQ(full.iterations, 32);
    EXPECT_EQ(full.blurMode, kBlurGaussian);
    EXPECT_EQ(full.grayMode, kGrayBefore);
    EXPECT_FALSE(full.useGpu);

    const PatternSettings half = SettingsFromControls(Defaults(), 2, true);
    EXPECT_FLOAT_EQ(half.blurSigma, 1.057530f);
    EXPECT_FLOAT_EQ(half.sharpenSigma, 1.057530f);
    EXPECT_EQ(half.sharpenAmount, full.sharpenAmount);
    EXPECT_TRUE(half.useGpu);
}

TEST(ControlSettings, SimpleGainGrowsWithAmountUpToItsCap) {
    struct Case {
        int32_t amount;
        float gain;
    };
    // 100 gives 20.21114 by the formula (1.1^32 = 21.1138 before the offset).
    for (const Case c : {Case{1, 20.01031f}, Case{100, 20.21114f}, Case{294, 98.38347f}}) {
        PatternControls controls = Defaults();
        controls.amount = c.amount;
        EXPECT_FLOAT_EQ(SettingsFromControls(controls, 1, false).sharpenAmount, c.gain) << c.amount;
    }
    // From 295 on the power passes 8000 and the gain is exactly 100.
    for (const int32_t amount : {295, 1000, std::numeric_limits<int32_t>::max()}) {
        PatternControls controls = Defaults();
        controls.amount = amount;
        EXPECT_EQ(SettingsFromControls(controls, 1, false).sharpenAmount, 100.0f) << amount;
    }
}

TEST(ControlSettings, DetailModeUsesTheRadiiAndSharpen) {
    PatternControls controls = Defaults();
    controls.parameterMode = 2;
    controls.width = 150.0;  // read but not used in Detail mode
    controls.blurRadius = 12.0;
    controls.sharpRadius = 0.0;
    controls.sharpen = 1000.0;
    controls.amount = 7;
    const PatternSettings s = SettingsFromControls(controls, 1, false);
    EXPECT_FLOAT_EQ(s.blurSigma, 4.230118f);
    EXPECT_EQ(s.sharpenSigma, 0.0f);
    EXPECT_EQ(s.sharpenAmount, 10.0f);
    EXPECT_EQ(s.iterations, 7);

    // Any mode value other than Simple's counts as Detail.
    controls.parameterMode = -5;
    EXPECT_EQ(SettingsFromControls(controls, 1, false).sharpenAmount, 10.0f);
}

TEST(ControlSettings, DegenerateHostValuesStayDefined) {
    PatternControls controls = Defaults();
    // A zero downsample denominator counts as full resolution.
    EXPECT_EQ(SettingsFromControls(controls, 0, false).blurSigma, SettingsFromControls(controls, 1, false).blurSigma);

    // Doubles beyond float's range are bounded before the conversion.
    controls.width = 1e300;
    const float huge = SettingsFromControls(controls, 1, false).blurSigma;
    EXPECT_TRUE(std::isfinite(huge));
    EXPECT_GT(huge, 1e37f);

    controls.parameterMode = 2;
    controls.sharpen = -1e300;
    controls.blurRadius = std::numeric_limits<double>::quiet_NaN();
    const PatternSettings s = SettingsFromControls(controls, 1, false);
    EXPECT_EQ(s.sharpenAmount, -std::numeric_limits<float>::max() / 100.0f);
    EXPECT_TRUE(std::isnan(s.blurSigma));  // left to the pipelines' sanitising
}

}  // namespace
}  // namespace maculo
