// The frei0r filter through its exported functions, as video hosts call
// them: what it declares, how host values become controls, and frames that
// equal the engine's at any size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "LoadedFilter.h"
#include "engine/ControlSettings.h"
#include "engine/DirectRender.h"
#include "plugin/ControlTable.h"

namespace maculo {
namespace {

// Parameter numbers: users' command lines depend on them.
enum : int { kMode, kBlur, kGray, kWidth, kBlurRadius, kSharpRadius, kSharpen, kAmount, kCount };

constexpr PatternControls kDefaults{1, 2, 2, 6.0, 6.0, 6.0, 1000.0, 32};

using Frame = std::vector<uint32_t>;  // RGBA pixels as frei0r passes them, rows packed

Frame Noise(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    Frame frame(size_t(width) * size_t(height));
    for (uint32_t& p : frame) p = random();
    return frame;
}

// The engine's frame for the same pixels: red, green, blue, alpha bytes
// become the host's alpha, red, green, blue channels, and back.
Frame EngineFrame(const Frame& rgba, int width, int height, const PatternControls& controls) {
    std::vector<Pixel8> argb(rgba.size());
    for (size_t i = 0; i < rgba.size(); ++i) {
        uint8_t b[4];
        std::memcpy(b, &rgba[i], 4);
        argb[i] = {b[3], b[0], b[1], b[2]};
    }
    const std::vector<Pixel8> out =
        DirectRender(argb.data(), {width, height, width}, width, height, SettingsFromControls(controls, 1, false));
    Frame result(out.size());
    for (size_t i = 0; i < out.size(); ++i) {
        const uint8_t b[4] = {out[i].red, out[i].green, out[i].blue, out[i].alpha};
        std::memcpy(&result[i], b, 4);
    }
    return result;
}

class Filter : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(filter_.init(), 1); }
    void TearDown() override { filter_.deinit(); }

    Frame Update(const LoadedFilter::Instance& instance, const Frame& in) const {
        Frame out(in.size(), 0xdeadbeef);
        filter_.update(instance.get(), 0.0, in.data(), out.data());
        return out;
    }

    LoadedFilter filter_;
};

TEST_F(Filter, DescribesItselfFromTheControlTable) {
    f0r_plugin_info_t info{};
    filter_.pluginInfo(&info);
    EXPECT_STREQ(info.name, "Maculo Pattern");
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.frei0r_version, 1);
    ASSERT_EQ(info.num_params, kCount);

    const char* names[kCount] = {"mode", "blur", "gray", "width", "blur-radius", "sharp-radius", "sharpen", "amount"};
    for (int i = 0; i < kCount; ++i) {
        f0r_param_info_t param{};
        filter_.paramInfo(&param, i);
        EXPECT_STREQ(param.name, names[i]);
        EXPECT_EQ(param.type, i <= kGray ? F0R_PARAM_STRING : F0R_PARAM_DOUBLE) << names[i];
        ASSERT_NE(param.explanation, nullptr);
        EXPECT_EQ(std::string(param.explanation).rfind(std::string(kValueControls[size_t(i)]->name) + ": ", 0), 0u)
            << param.explanation;
    }
    f0r_param_info_t amount{};
    filter_.paramInfo(&amount, kAmount);
    EXPECT_NE(std::string(amount.explanation).find("0 to 1 maps linearly onto 1 to 1000"), std::string::npos)
        << amount.explanation;
    f0r_param_info_t gray{};
    filter_.paramInfo(&gray, kGray);
    EXPECT_NE(std::string(gray.explanation).find("off before after; default before"), std::string::npos)
        << gray.explanation;

    f0r_param_info_t untouched{"x", 9, "y"};
    filter_.paramInfo(&untouched, kCount);
    filter_.paramInfo(&untouched, -1);
    filter_.paramInfo(nullptr, 0);
    EXPECT_EQ(untouched.type, 9);
}

TEST_F(Filter, StartsAtTheEffectsDefaultsAndMapsNumbersOntoTheValidRange) {
    const auto instance = filter_.Make(8, 8);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(filter_.Choice(instance, kMode), "simple");
    EXPECT_EQ(filter_.Choice(instance, kBlur), "gaussian");
    EXPECT_EQ(filter_.Choice(instance, kGray), "before");
    EXPECT_DOUBLE_EQ(filter_.Number(instance, kWidth), 0.03);
    EXPECT_DOUBLE_EQ(filter_.Number(instance, kBlurRadius), 0.03);
    EXPECT_DOUBLE_EQ(filter_.Number(instance, kSharpRadius), 0.03);
    EXPECT_DOUBLE_EQ(filter_.Number(instance, kSharpen), 0.1);
    EXPECT_DOUBLE_EQ(filter_.Number(instance, kAmount), 31.0 / 999.0);

    // Whole-number controls take the nearest whole number: 1 + 0.5 x 999 is 500.5.
    filter_.SetNumber(instance, kWidth, 0.25);
    filter_.SetNumber(instance, kAmount, 0.5);
    EXPECT_DOUBLE_EQ(filter_.Number(instance, kWidth), 0.25);
    EXPECT_DOUBLE_EQ(filter_.Number(instance, kAmount), 500.0 / 999.0);

    // The frame shows the mapped values: Width 0.05 is 10 pixels, Amount 0.004 is 5 iterations.
    filter_.SetNumber(instance, kWidth, 0.05);
    filter_.SetNumber(instance, kAmount, 0.004);
    const Frame in = Noise(8, 8, 3);
    PatternControls expected = kDefaults;
    expected.width = 10.0;
    expected.amount = 5;
    EXPECT_EQ(Update(instance, in), EngineFrame(in, 8, 8, expected));
}

TEST_F(Filter, ClampsOrIgnoresWhatNoControlCanTake) {
    const auto instance = filter_.Make(8, 8);
    ASSERT_NE(instance, nullptr);
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();

    filter_.SetNumber(instance, kWidth, kNaN);
    EXPECT_DOUBLE_EQ(filter_.Number(instance, kWidth), 0.03);
    filter_.SetNumber(instance, kWidth, 7.0);
    EXPECT_EQ(filter_.Number(instance, kWidth), 1.0);
    filter_.SetNumber(instance, kWidth, -0.5);
    EXPECT_EQ(filter_.Number(instance, kWidth), 0.0);
    filter_.SetNumber(instance, kAmount, -kInf);
    EXPECT_EQ(filter_.Number(instance, kAmount), 0.0);
    filter_.SetNumber(instance, kSharpen, kInf);
    EXPECT_EQ(filter_.Number(instance, kSharpen), 1.0);

    filter_.SetChoice(instance, kMode, "DETAIL");
    EXPECT_EQ(filter_.Choice(instance, kMode), "detail");
    for (const char* bad : {"bogus", "", "detail ", static_cast<const char*>(nullptr)})
        filter_.SetChoice(instance, kMode, bad);
    EXPECT_EQ(filter_.Choice(instance, kMode), "detail");

    // Pointers and numbers no host should send.
    filter_.set(instance.get(), nullptr, kWidth);
    filter_.get(instance.get(), nullptr, kWidth);
    filter_.SetNumber(instance, kCount, 0.5);
    filter_.SetNumber(instance, -1, 0.5);
    EXPECT_EQ(filter_.Number(instance, kCount), -1.0);
    double value = 0.5;
    filter_.set(nullptr, &value, kWidth);
    filter_.get(nullptr, &value, kWidth);
    filter_.update(nullptr, 0.0, nullptr, nullptr);
    filter_.update(instance.get(), 0.0, nullptr, nullptr);
    filter_.destruct(nullptr);
    EXPECT_EQ(value, 0.5);

    // Width 0 and Amount 1 from the clamps, the popup from its name.
    const Frame in = Noise(8, 8, 4);
    PatternControls expected = kDefaults;
    expected.parameterMode = 2;
    expected.width = 0.0;
    expected.amount = 1;
    expected.sharpen = 10000.0;
    EXPECT_EQ(Update(instance, in), EngineFrame(in, 8, 8, expected));
}

// A set of controls, as the filter's parameters and as the engine's.
struct ControlCase {
    const char* name;
    std::vector<std::pair<int, const char*>> choices;
    std::vector<std::pair<int, double>> numbers;
    PatternControls engine;
};

std::vector<ControlCase> Cases() {
    PatternControls detail{2, 2, 2, 6.0, 4.0, 3.0, 500.0, 6};
    PatternControls box = kDefaults, off = kDefaults, after = kDefaults;
    box.blurMode = kBlurBox;
    off.grayMode = kGrayOff;
    after.grayMode = kGrayAfter;
    return {{"defaults", {}, {}, kDefaults},
            {"detail",
             {{kMode, "detail"}},
             {{kBlurRadius, 0.02}, {kSharpRadius, 0.015}, {kSharpen, 0.05}, {kAmount, 0.005}},
             detail},
            {"box", {{kBlur, "box"}}, {}, box},
            {"gray off", {{kGray, "off"}}, {}, off},
            {"gray after", {{kGray, "after"}}, {}, after}};
}

TEST_F(Filter, FramesEqualTheEnginesAtAnySizeFrameAfterFrame) {
    const std::pair<int, int> sizes[] = {{1, 1}, {7, 5}, {33, 17}, {2, 40}};
    for (const ControlCase& c : Cases()) {
        for (const auto& [width, height] : sizes) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(width) + "x" + std::to_string(height));
            const auto instance = filter_.Make(unsigned(width), unsigned(height));
            ASSERT_NE(instance, nullptr);
            for (const auto& [index, name] : c.choices) filter_.SetChoice(instance, index, name);
            for (const auto& [index, number] : c.numbers) filter_.SetNumber(instance, index, number);
            const Frame first = Noise(width, height, 1), second = Noise(width, height, 2);
            const Frame expected = EngineFrame(second, width, height, c.engine);
            Update(instance, first);
            // The working images hold the last frame: the next must not see it.
            EXPECT_EQ(Update(instance, second), expected);
            Frame inPlace = second;
            filter_.update(instance.get(), 0.04, inPlace.data(), inPlace.data());
            EXPECT_EQ(inPlace, expected);
        }
    }
}

TEST_F(Filter, InstancesOfDifferentSizesRenderSideBySide) {
    EXPECT_EQ(filter_.construct(0, 8), nullptr);
    EXPECT_EQ(filter_.construct(8, 0), nullptr);
    EXPECT_EQ(filter_.construct(1u << 31, 1), nullptr);

    PatternControls one = kDefaults;
    one.amount = 1;
    const auto small = filter_.Make(9, 3);
    auto wide = filter_.Make(24, 8);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(wide, nullptr);
    filter_.SetNumber(small, kAmount, 0.0);
    filter_.SetNumber(wide, kAmount, 0.0);
    // A hundred frames, and a new size halfway, as a host changes its frame size.
    for (int frame = 0; frame < 100; ++frame) {
        if (frame == 50) {
            wide = filter_.Make(13, 21);
            ASSERT_NE(wide, nullptr);
            filter_.SetNumber(wide, kAmount, 0.0);
        }
        const int wideWidth = frame < 50 ? 24 : 13, wideHeight = frame < 50 ? 8 : 21;
        const Frame a = Noise(9, 3, unsigned(frame)), b = Noise(wideWidth, wideHeight, unsigned(frame));
        const Frame outA = Update(small, a), outB = Update(wide, b);
        if (frame % 25 == 0 || frame == 99) {
            EXPECT_EQ(outA, EngineFrame(a, 9, 3, one)) << frame;
            EXPECT_EQ(outB, EngineFrame(b, wideWidth, wideHeight, one)) << frame;
        }
    }
}

}  // namespace
}  // namespace maculo
