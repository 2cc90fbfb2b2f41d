// The frei0r filter loaded and called by its exported names, as video hosts
// do: what it declares, how host values become controls, and frames that
// equal the engine's at any size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "controls/ControlTable.h"
#include "engine/ControlSettings.h"
#include "engine/DirectRender.h"
#include "frei0r/Frei0rApi.h"
#include "minihost/DynamicLibrary.h"

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

// The engine's frame for the same pixels, bytes red, green, blue, alpha taken
// as the host's alpha, red, green, blue channels, and back.
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
    using Instance = std::unique_ptr<void, decltype(&f0r_destruct)>;

    void SetUp() override { ASSERT_EQ(Call<decltype(f0r_init)>("f0r_init")(), 1); }

    template <typename Fn>
    Fn* Call(const char* name) const {
        void* symbol = library_.Symbol(name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Fn*>(symbol);
    }

    Instance Make(unsigned width, unsigned height) const {
        return Instance(construct_(width, height), Call<decltype(f0r_destruct)>("f0r_destruct"));
    }
    void Set(const Instance& instance, int index, double value) const { set_(instance.get(), &value, index); }
    void Set(const Instance& instance, int index, const char* name) const {
        f0r_param_string text = const_cast<char*>(name);
        set_(instance.get(), &text, index);
    }
    double Number(const Instance& instance, int index) const {
        double value = -1.0;
        get_(instance.get(), &value, index);
        return value;
    }
    std::string Choice(const Instance& instance, int index) const {
        f0r_param_string text = nullptr;
        get_(instance.get(), &text, index);
        return text != nullptr ? text : "(null)";
    }
    Frame Update(const Instance& instance, const Frame& in) const {
        Frame out(in.size(), 0xdeadbeef);
        update_(instance.get(), 0.0, in.data(), out.data());
        return out;
    }

    minihost::DynamicLibrary library_{MACULO_FREI0R_PATH};
    decltype(&f0r_construct) construct_ = Call<decltype(f0r_construct)>("f0r_construct");
    decltype(&f0r_set_param_value) set_ = Call<decltype(f0r_set_param_value)>("f0r_set_param_value");
    decltype(&f0r_get_param_value) get_ = Call<decltype(f0r_get_param_value)>("f0r_get_param_value");
    decltype(&f0r_update) update_ = Call<decltype(f0r_update)>("f0r_update");
};

TEST_F(Filter, DescribesEveryControlOfTheTable) {
    f0r_plugin_info_t info{};
    Call<decltype(f0r_get_plugin_info)>("f0r_get_plugin_info")(&info);
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.frei0r_version, 1);
    ASSERT_EQ(info.num_params, kCount);

    const auto paramInfo = Call<decltype(f0r_get_param_info)>("f0r_get_param_info");
    const char* names[kCount] = {"mode", "blur", "gray", "width", "blur-radius", "sharp-radius", "sharpen", "amount"};
    for (int i = 0; i < kCount; ++i) {
        f0r_param_info_t param{};
        paramInfo(&param, i);
        EXPECT_STREQ(param.name, names[i]);
        EXPECT_EQ(param.type, i <= kGray ? F0R_PARAM_STRING : F0R_PARAM_DOUBLE) << names[i];
        ASSERT_NE(param.explanation, nullptr);
        EXPECT_EQ(std::string(param.explanation).rfind(std::string(kValueControls[size_t(i)]->label) + ": ", 0), 0u);
    }
    f0r_param_info_t untouched{"x", 9, "y"};
    paramInfo(&untouched, kCount);
    paramInfo(&untouched, -1);
    EXPECT_EQ(untouched.type, 9);
}

TEST_F(Filter, StartsAtTheDefaultsAndMapsNumbersOntoTheValidRange) {
    const Instance instance = Make(8, 8);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(Choice(instance, kMode) + Choice(instance, kBlur) + Choice(instance, kGray), "simplegaussianbefore");
    EXPECT_DOUBLE_EQ(Number(instance, kWidth), 0.03);
    EXPECT_DOUBLE_EQ(Number(instance, kSharpRadius), 0.03);
    EXPECT_DOUBLE_EQ(Number(instance, kSharpen), 0.1);
    EXPECT_DOUBLE_EQ(Number(instance, kAmount), 31.0 / 999.0);

    // Whole-number controls take the nearest whole number: 1 + 0.5 x 999 is 500.5.
    Set(instance, kAmount, 0.5);
    EXPECT_DOUBLE_EQ(Number(instance, kAmount), 500.0 / 999.0);

    // The frame shows the mapped values: Width 0.05 is 10 pixels, Amount 0.004 is 5 iterations.
    Set(instance, kWidth, 0.05);
    Set(instance, kAmount, 0.004);
    const Frame in = Noise(8, 8, 3);
    PatternControls expected = kDefaults;
    expected.width = 10.0;
    expected.amount = 5;
    EXPECT_EQ(Update(instance, in), EngineFrame(in, 8, 8, expected));
}

TEST_F(Filter, ClampsOrIgnoresWhatNoControlCanTake) {
    const Instance instance = Make(8, 8);
    ASSERT_NE(instance, nullptr);
    constexpr double kInf = std::numeric_limits<double>::infinity();
    Set(instance, kWidth, std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(Number(instance, kWidth), 0.03);
    Set(instance, kWidth, 7.0);
    EXPECT_EQ(Number(instance, kWidth), 1.0);
    Set(instance, kWidth, -0.5);
    EXPECT_EQ(Number(instance, kWidth), 0.0);
    Set(instance, kAmount, -kInf);
    Set(instance, kSharpen, kInf);
    Set(instance, kMode, "DETAIL");
    for (const char* bad : {"bogus", "", "detail ", static_cast<const char*>(nullptr)}) Set(instance, kMode, bad);
    EXPECT_EQ(Choice(instance, kMode), "detail");

    // Pointers and numbers no host should send.
    set_(instance.get(), nullptr, kWidth);
    get_(instance.get(), nullptr, kWidth);
    Set(instance, kCount, 0.5);
    Set(instance, -1, 0.5);
    EXPECT_EQ(Number(instance, kCount), -1.0);
    update_(nullptr, 0.0, nullptr, nullptr);
    update_(instance.get(), 0.0, nullptr, nullptr);
    Call<decltype(f0r_destruct)>("f0r_destruct")(nullptr);

    // Width 0, Amount 1 and Sharpen 10000 from the clamps, Detail from its name.
    const Frame in = Noise(8, 8, 4);
    const PatternControls expected{2, 2, 2, 0.0, 6.0, 6.0, 10000.0, 1};
    EXPECT_EQ(Update(instance, in), EngineFrame(in, 8, 8, expected));
}

// Every size with the defaults, and with every popup away from its default;
// the hosts' tests try the controls one by one.
TEST_F(Filter, FramesEqualTheEnginesAtAnySizeFrameAfterFrame) {
    const PatternControls other{2, kBlurBox, kGrayAfter, 6.0, 4.0, 3.0, 500.0, 6};
    const std::pair<int, int> sizes[] = {{1, 1}, {7, 5}, {33, 17}, {2, 40}};
    for (const bool defaults : {true, false}) {
        for (const auto& [width, height] : sizes) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + (defaults ? "" : ", other controls"));
            const Instance instance = Make(unsigned(width), unsigned(height));
            ASSERT_NE(instance, nullptr);
            if (!defaults) {
                Set(instance, kMode, "detail");
                Set(instance, kBlur, "box");
                Set(instance, kGray, "after");
                for (const auto& [index, value] :
                     {std::pair(kBlurRadius, 0.02), {kSharpRadius, 0.015}, {kSharpen, 0.05}, {kAmount, 0.005}})
                    Set(instance, index, value);
            }
            const Frame second = Noise(width, height, 2);
            const Frame expected = EngineFrame(second, width, height, defaults ? kDefaults : other);
            Update(instance, Noise(width, height, 1));
            // The working images hold the last frame: the next must not see it.
            EXPECT_EQ(Update(instance, second), expected);
            Frame inPlace = second;
            update_(instance.get(), 0.04, inPlace.data(), inPlace.data());
            EXPECT_EQ(inPlace, expected);
        }
    }
}

// A hundred frames through two instances, one of which changes size halfway,
// as a host makes a new instance for a new frame size.
TEST_F(Filter, InstancesOfDifferentSizesRenderSideBySide) {
    EXPECT_EQ(construct_(0, 8), nullptr);
    EXPECT_EQ(construct_(8, 0), nullptr);
    EXPECT_EQ(construct_(1u << 31, 1), nullptr);

    PatternControls one = kDefaults;
    one.amount = 1;
    const Instance small = Make(9, 3);
    Instance other = Make(24, 8);
    int width = 24, height = 8;
    for (int frame = 0; frame < 100; ++frame) {
        if (frame == 50) std::tie(other, width, height) = std::make_tuple(Make(13, 21), 13, 21);
        ASSERT_NE(small, nullptr);
        ASSERT_NE(other, nullptr);
        Set(small, kAmount, 0.0);
        Set(other, kAmount, 0.0);
        const Frame a = Noise(9, 3, unsigned(frame)), b = Noise(width, height, unsigned(frame));
        const Frame outA = Update(small, a), outB = Update(other, b);
        if (frame % 25 == 0 || frame == 99) {
            EXPECT_EQ(outA, EngineFrame(a, 9, 3, one)) << frame;
            EXPECT_EQ(outB, EngineFrame(b, width, height, one)) << frame;
        }
    }
}

// One instance called from several threads at once, as MLT calls it for its
// slices: each thread passes its own rows while another thread sets the
// controls, and each slice comes out as a frame of its own.
TEST_F(Filter, OneInstanceCalledFromSeveralThreadsAtOnce) {
    constexpr int kColumns = 24, kSlice = 7, kSlices = 4;
    const Instance instance = Make(kColumns, kSlice);
    ASSERT_NE(instance, nullptr);
    Set(instance, kAmount, 0.003);
    PatternControls controls = kDefaults;
    controls.amount = 4;
    const size_t slicePixels = size_t(kColumns) * kSlice;
    const Frame in = Noise(kColumns, kSlice * kSlices, 5);
    Frame out(in.size());
    {
        std::vector<std::jthread> threads;
        for (int s = 0; s < kSlices; ++s) {
            threads.emplace_back([&, s] {
                for (int i = 0; i < 5; ++i) {
                    update_(instance.get(), 0.0, in.data() + s * slicePixels, out.data() + s * slicePixels);
                    Set(instance, kAmount, 0.003);
                    EXPECT_DOUBLE_EQ(Number(instance, kAmount), 3.0 / 999.0);
                }
            });
        }
    }
    for (int s = 0; s < kSlices; ++s) {
        const Frame slice(in.begin() + s * slicePixels, in.begin() + (s + 1) * slicePixels);
        const Frame expected = EngineFrame(slice, kColumns, kSlice, controls);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + s * slicePixels)) << "slice " << s;
    }
}

}  // namespace
}  // namespace maculo
