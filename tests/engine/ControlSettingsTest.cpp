#include "engine/ControlSettings.h"

#include <gtest/gtest.h>

#include <limits>

namespace maculo {
namespace {

// Detail's controls here are blur radius 12, sharp radius 0, sharpen 1000;
// Simple's width is 6. The gain 1.1^(amount x 0.32) is capped at 8000, from
// amount 295 on.
TEST(ControlSettings, SimpleModeFollowsWidthAndAmountDetailModeTheRadiiAndSharpen) {
    struct Case {
        int32_t mode, amount;
        uint32_t downsample;
        float blurSigma, sharpenSigma, gain;
    };
    const Case cases[] = {
        {kModeSimple, 32, 1, 2.115059f, 2.115059f, 20.02654f},
        {kModeSimple, 32, 0, 2.115059f, 2.115059f, 20.02654f},  // 0 counts as 1
        {kModeSimple, 294, 2, 1.057530f, 1.057530f, 98.38347f},
        {kModeSimple, std::numeric_limits<int32_t>::max(), 1, 2.115059f, 2.115059f, 100.0f},
        {2, 7, 1, 4.230118f, 0.0f, 10.0f},
        {-5, 7, 2, 2.115059f, 0.0f, 10.0f},  // any mode but Simple is Detail
    };
    for (const Case& c : cases) {
        const PatternControls controls{c.mode, kBlurBox, kGrayAfter, 6.0, 12.0, 0.0, 1000.0, c.amount};
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

}  // namespace
}  // namespace maculo
