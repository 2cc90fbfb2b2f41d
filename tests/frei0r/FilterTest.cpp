// The frei0r filter loaded and called by its exported names, as video hosts
// do: how host values become controls, what it says of those no control
// takes, and frames that equal the engine's at any size and on many threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/ControlSettings.h"
#include "frei0r/Frei0rApi.h"
#include "minihost/DynamicLibrary.h"
#include "tests/engine/DirectRender.h"

namespace maculo {
namespace {

// Parameter numbers: users' command lines depend on them.
enum : int { kMode, kBlur, kGray, kWidth, kBlurRadius, kSharpRadius, kSharpen, kAmount, kFullWidth, kCount };

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
    const auto* b = reinterpret_cast<const uint8_t*>(rgba.data());
    std::vector<Pixel8> argb(rgba.size());
    for (size_t i = 0; i < rgba.size(); ++i) argb[i] = {b[4 * i + 3], b[4 * i], b[4 * i + 1], b[4 * i + 2]};
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

// Each parameter says its first mistake once, on standard error, naming what
// it was given and what it kept; later ones, frame after frame, pass unsaid.
TEST_F(Filter, ClampsOrIgnoresWhatNoControlCanTakeAndSaysSoOnce) {
    const Instance instance = Make(8, 8);
    ASSERT_NE(instance, nullptr);
    constexpr double kInf = std::numeric_limits<double>::infinity();
    testing::internal::CaptureStderr();
    Set(instance, kWidth, std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(Number(instance, kWidth), 0.03);
    Set(instance, kWidth, 7.0);
    EXPECT_EQ(Number(instance, kWidth), 1.0);
    Set(instance, kWidth, -0.5);
    EXPECT_EQ(Number(instance, kWidth), 0.0);
    Set(instance, kAmount, -kInf);
    Set(instance, kSharpen, kInf);
    Set(instance, kSharpen, 2.0);
    Set(instance, kSharpen, kInf);
    Set(instance, kMode, "DETAIL");
    // ffmpeg passes its parameters by position: a name lands in the first.
    for (const char* bad : {"width=0.05", "", "detail ", static_cast<const char*>(nullptr)}) Set(instance, kMode, bad);
    f0r_param_string mode = nullptr;
    get_(instance.get(), &mode, kMode);
    EXPECT_STREQ(mode, "detail");
    Set(instance, kGray, static_cast<const char*>(nullptr));
    Set(instance, kFullWidth, 0.5);
    Set(instance, kFullWidth, -3.0);
    EXPECT_EQ(Number(instance, kFullWidth), 0.0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "maculo_pattern: width is not a number; kept 0.03 (Width 6)\n"
              "maculo_pattern: amount -inf is outside 0 to 1; took 0 (Amount 1)\n"
              "maculo_pattern: sharpen inf is outside 0 to 1; took 1 (Sharpen 10000)\n"
              "maculo_pattern: mode \"width=0.05\" names no choice (simple, detail); kept detail; ffmpeg takes the "
              "parameters by position, '|' between them\n"
              "maculo_pattern: full-width 0.5 is not a width in pixels (0 for the frame's own, or 1 and more); "
              "kept 0\n");

    // Pointers, numbers and sizes no host should send.
    set_(instance.get(), nullptr, kWidth);
    get_(instance.get(), nullptr, kWidth);
    Set(instance, kCount, 0.5);
    Set(instance, -1, 0.5);
    EXPECT_EQ(Number(instance, kCount), -1.0);
    update_(nullptr, 0.0, nullptr, nullptr);
    update_(instance.get(), 0.0, nullptr, nullptr);
    Call<decltype(f0r_destruct)>("f0r_destruct")(nullptr);
    EXPECT_EQ(construct_(0, 8), nullptr);
    EXPECT_EQ(construct_(1u << 31, 1), nullptr);

    // Width 0, Amount 1 and Sharpen 10000 from the clamps, Detail from its name.
    const Frame in = Noise(8, 8, 4);
    const PatternControls expected{2, 2, 2, 0.0, 6.0, 6.0, 10000.0, 1};
    EXPECT_EQ(Update(instance, in), EngineFrame(in, 8, 8, expected));
}

// Every size with the defaults, and with every popup away from its default
// and the full width set, as an editor's preview sets it for frames narrower
// than the project's: the sizes in pixels shrink with the frame. The
// instances live side by side, as a host keeps one per frame size; the
// hosts' tests try the controls one by one.
TEST_F(Filter, FramesEqualTheEnginesAtAnySizeFrameAfterFrame) {
    // Detail at blur radius 4 and sharp radius 3, halved by the full width.
    const PatternControls other{2, kBlurBox, kGrayAfter, 3.0, 2.0, 1.5, 500.0, 6};
    const std::pair<int, int> sizes[] = {{1, 1}, {7, 5}, {33, 17}, {2, 40}};
    for (const bool defaults : {true, false}) {
        std::vector<Instance> instances;
        for (const auto& [width, height] : sizes) {
            instances.push_back(Make(unsigned(width), unsigned(height)));
            ASSERT_NE(instances.back(), nullptr);
            if (defaults) continue;
            for (const auto& [index, name] : {std::pair(kMode, "detail"), {kBlur, "box"}, {kGray, "after"}})
                Set(instances.back(), index, name);
            for (const auto& [index, value] : {std::pair(kBlurRadius, 0.02), {kSharpRadius, 0.015}, {kSharpen, 0.05}})
                Set(instances.back(), index, value);
            Set(instances.back(), kAmount, 0.005);
            Set(instances.back(), kFullWidth, 2.0 * width);
        }
        for (size_t i = 0; i < instances.size(); ++i) Update(instances[i], Noise(sizes[i].first, sizes[i].second, 1));
        for (size_t i = 0; i < instances.size(); ++i) {
            const auto [width, height] = sizes[i];
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + (defaults ? "" : ", other controls"));
            const Frame second = Noise(width, height, 2);
            const Frame expected = EngineFrame(second, width, height, defaults ? kDefaults : other);
            // The working images hold the last frame: the next must not see it.
            EXPECT_EQ(Update(instances[i], second), expected);
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
    const PatternControls controls{1, 2, 2, 6.0, 6.0, 6.0, 1000.0, 4};  // the defaults but Amount 4
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
