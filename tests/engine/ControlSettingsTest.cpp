#include "engine/ControlSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace maculo {
namespace {

TEST(ControlSettings, SimpleModeFollowsWidthAndAmountDetailModeTheRadiiAndSharpen) {
    struct Case {
        int32_t mode;
        double width;
        int32_t amount;
        uint32_t downsample;
        float blurSigma, sharpenSigma, gain;
    };
    // Detail's controls are blur radius 12, sharp radius 0, sharpen 1000;
    // the gain 1.1^(amount x 0.32) is capped at 8000, from amount 295 on.
    const Case cases[] = {
        {kModeSimple, 6, 32, 1, 2.115059f, 2.115059f, 20.02654f},
        {kModeSimple, 6, 32, 2, 1.057530f, 1.057530f, 20.02654f},
        {kModeSimple, 6, 32, 0, 2.115059f, 2.115059f, 20.02654f},  // 0 counts as 1
        {kModeSimple, 6, 1, 1, 2.115059f, 2.115059f, 20.01031f},
        {kModeSimple, 6, 100, 1, 2.115059f, 2.115059f, 20.21114f},
        {kModeSimple, 6, 294, 1, 2.115059f, 2.115059f, 98.38347f},
        {kModeSimple, 6, 295, 1, 2.115059f, 2.115059f, 100.0f},
        {kModeSimple, 6, std::numeric_limits<int32_t>::max(), 1, 2.115059f, 2.115059f, 100.0f},
        {2, 150, 7, 1, 4.230118f, 0.0f, 10.0f},   // Width is not used in Detail mode
        {-5, 150, 7, 2, 2.115059f, 0.0f, 10.0f},  // nor any mode other than Simple
    };
    for (const Case& c : cases) {
        const PatternControls controls{c.mode, kBlurBox, kGrayAfter, c.width, 12.0, 0.0, 1000.0, c.amount};
        const PatternSettings s = SettingsFromControls(controls, c.downsample, c.downsample == 2);
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", amount " << c.amount << ", downsample "
                                        << c.downsample);
        EXPECT_FLOAT_EQ(s.blurSigma, c.blurSigma);
        EXPECT_FLOAT_EQ(s.sharpenSigma, c.sharpenSigma);
        EXPECT_FLOAT_EQ(s.sharpenAmount, c.gain);
        EXPECT_TRUE(s.blurMode == kBlurBox && s.grayMode == kGrayAfter && s.iterations == c.amount);
        EXPECT_EQ(s.useGpu, c.downsample == 2);
    }
}

TEST(ControlSettings, DoublesBeyondFloatsRangeAreBoundedAndNaNIsLeftToThePipelines) {
    PatternControls controls{kModeSimple, kBlurGaussian, kGrayBefore, 1e300, 6.0, 6.0, 1000.0, 32};
    const float huge = SettingsFromControls(controls, 1, false).blurSigma;
    EXPECT_TRUE(std::isfinite(huge) && huge > 1e37f) << huge;

    controls.parameterMode = 2;
    controls.sharpen = -1e300;
    controls.blurRadius = std::numeric_limits<double>::quiet_NaN();
    const PatternSettings s = SettingsFromControls(controls, 1, false);
    EXPECT_EQ(s.sharpenAmount, -std::numeric_limits<float>::max() / 100.0f);
    EXPECT_TRUE(std::isnan(s.blurSigma));
}

}  // namespace
}  // namespace maculo
