// Whole frames through the effect's binary, driven by our host exactly as the
// host drives it, compared with a direct run of the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/ControlSettings.h"
#include "engine/DirectRender.h"
#include "gpu/GpuState.h"
#include "minihost/EffectSession.h"
#include "tests/SetControls.h"

namespace maculo {
namespace {

using minihost::EffectSession;
using minihost::Frame;
using minihost::Host;
using minihost::SmartCall;

// Loaded once and never unloaded, as in a host: the effect's GPU state is
// meant to live until the process ends.
EffectSession& Session() {
    static EffectSession& session = *new EffectSession(MACULO_PLUGIN_PATH);
    return session;
}

std::tuple<A_long, A_long, A_long, A_long> Edges(const PF_LRect& r) { return {r.left, r.top, r.right, r.bottom}; }

template <typename Pixel>
constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB32;
template <>
constexpr PF_PixelFormat kFormat<Pixel16> = PF_PixelFormat_ARGB64;
template <>
constexpr PF_PixelFormat kFormat<PixelF> = PF_PixelFormat_ARGB128;

template <typename Pixel>
constexpr int16_t kBitdepth = sizeof(Pixel) * 2;

class Frames : public testing::Test {
protected:
    void SetUp() override {
        host().Log().Clear();
        host().Params().SetProgress(nullptr);
        host().SetDownsample(1, 1);
        SetControls(Quick());
    }

    static Host& host() { return Session().GetHost(); }

    // Few iterations keep the frames fast; everything else at its default.
    static PatternControls Quick() { return {kModeSimple, kBlurGaussian, kGrayBefore, 4.0, 6.0, 6.0, 1000.0, 3}; }

    static void SetControls(const PatternControls& c) { test::SetControls(host().Params(), c); }

    // A world of the host's with every byte, padding included, random.
    template <typename Pixel>
    static PF_EffectWorld* RandomWorld(A_long width, A_long height, A_long padding, uint32_t seed) {
        PF_EffectWorld* world = host().Worlds().MakeWorld(width, height, kFormat<Pixel>, padding);
        std::mt19937 random(seed);
        auto* row = reinterpret_cast<unsigned char*>(world->data);
        for (A_long y = 0; y < height; ++y, row += world->rowbytes) {
            auto* pixels = reinterpret_cast<Pixel*>(row);
            for (A_long x = 0; x < width + padding; ++x) {
                if constexpr (std::is_same_v<Pixel, Pixel8>) {
                    pixels[x] = {uint8_t(random()), uint8_t(random()), uint8_t(random()), uint8_t(random())};
                } else if constexpr (std::is_same_v<Pixel, Pixel16>) {
                    auto c = [&] { return uint16_t(random() % 32769); };
                    pixels[x] = {c(), c(), c(), c()};
                } else {
                    std::uniform_real_distribution<float> c(-0.25f, 1.25f);
                    pixels[x] = {c(random), c(random), c(random), c(random)};
                }
            }
        }
        return world;
    }

    static std::vector<unsigned char> Bytes(const PF_EffectWorld& world) {
        const auto* data = reinterpret_cast<const unsigned char*>(world.data);
        return {data, data + size_t(world.rowbytes) * size_t(world.height)};
    }

    template <typename Pixel>
    static std::vector<Pixel> Expected(const PF_EffectWorld& layer, A_long width, A_long height,
                                       const PatternSettings& settings) {
        const ImageDims dims{layer.width, layer.height, A_long(layer.rowbytes / sizeof(Pixel))};
        return DirectRender(reinterpret_cast<const Pixel*>(layer.data), dims, width, height, settings);
    }

    // Compares the output's picture with `expected` and checks that its row
    // padding still holds the zeros the host filled it with.
    template <typename Pixel>
    static void ExpectPicture(const PF_EffectWorld& output, const std::vector<Pixel>& expected) {
        ASSERT_EQ(expected.size(), size_t(output.width) * size_t(output.height));
        const auto* row = reinterpret_cast<const unsigned char*>(output.data);
        const size_t pictureBytes = size_t(output.width) * sizeof(Pixel);
        for (A_long y = 0; y < output.height; ++y, row += output.rowbytes) {
            EXPECT_EQ(std::memcmp(row, &expected[size_t(y) * output.width], pictureBytes), 0) << "row " << y;
            for (size_t b = pictureBytes; b < size_t(output.rowbytes); ++b) ASSERT_EQ(row[b], 0) << "row " << y;
        }
    }

    // Renders a frame whose layer, output and working images all have
    // different row padding, and compares it with the engine's own run.
    template <typename Pixel>
    static void RenderAndCompare(const PatternControls& controls, A_long downsample) {
        SCOPED_TRACE(testing::Message() << "depth " << kBitdepth<Pixel>);
        SetControls(controls);
        host().SetDownsample(1, downsample);
        PF_EffectWorld* layer = RandomWorld<Pixel>(23, 17, 5, 7);
        PF_EffectWorld* output = host().Worlds().MakeWorld(23, 17, kFormat<Pixel>, 2);
        const size_t requestsBefore = host().Worlds().Requests().size();
        ASSERT_EQ(Session().RenderFrame(*layer, *output, kBitdepth<Pixel>), PF_Err_NONE);
        ExpectPicture(*output, Expected<Pixel>(*layer, 23, 17, SettingsFromControls(controls, downsample, false)));

        // Three working images, the output's pitch wide, float, not cleared.
        const std::vector<minihost::WorldRequest> requests = host().Worlds().Requests();
        ASSERT_EQ(requests.size() - requestsBefore, 3u);
        for (size_t i = requestsBefore; i < requests.size(); ++i) {
            EXPECT_EQ(requests[i].width, 25);
            EXPECT_EQ(requests[i].height, 17);
            EXPECT_EQ(requests[i].format, PF_PixelFormat_ARGB128);
            EXPECT_FALSE(requests[i].clear);
        }
        ExpectNothingOutlivesTheFrame();
    }

    static void ExpectNothingOutlivesTheFrame() {
        EXPECT_EQ(host().Handles().LiveCount(), 1u);  // the global data alone
        EXPECT_EQ(host().Worlds().LiveEffectWorlds(), 0u);
        EXPECT_EQ(host().Params().OutstandingCheckouts(), 0u);
        EXPECT_EQ(host().Suites().Outstanding(), 0);
        EXPECT_TRUE(host().Log().Misuses().empty()) << host().Log().Misuses().front();
    }
};

TEST_F(Frames, WholeFramesMatchADirectEngineRunAtEveryDepth) {
    RenderAndCompare<Pixel8>(Quick(), 1);
    // Detail mode with a box blur and gray after, at half resolution.
    RenderAndCompare<Pixel16>({2, kBlurBox, kGrayAfter, 50.0, 7.0, 3.5, 800.0, 4}, 2);
    RenderAndCompare<PixelF>({kModeSimple, kBlurGaussian, kGrayOff, 3.0, 6.0, 6.0, 1000.0, 2}, 1);
}

TEST_F(Frames, PreRenderReadsTheControlsAtTheFramesTimeAndPassesTheRequestOn) {
    host().SetTime(48, 2, 24);
    host().SetDownsample(1, 2);
    SetControls({2, kBlurBox, kGrayAfter, 9.0, 5.0, 0.0, 1000.0, 7});
    PF_EffectWorld* layer = host().Worlds().MakeWorld(40, 30, PF_PixelFormat_ARGB32);
    host().Render().SetLayer(layer);
    PF_RenderRequest request = Frame::WholeFrame(40, 30);
    request.rect = {2, 3, 30, 20};
    request.field = 1;
    request.channel_mask = 0xE;
    request.preserve_rgb_of_zero_alpha = 1;
    const size_t paramsBefore = host().Params().Checkouts().size();

    Frame frame(host().Render(), request, PF_GPU_Framework_NONE, 8);
    // The result rectangle starts empty and becomes the input's; the
    // maximal one is merged with the layer's whole extent.
    frame.PreRenderExtra()->output->max_result_rect = {0, 0, 10, 40};
    ASSERT_EQ(host().Send(PF_Cmd_SMART_PRE_RENDER, frame.PreRenderExtra()), PF_Err_NONE);
    const PF_PreRenderOutput& out = frame.PreRenderOutput();
    ASSERT_NE(out.pre_render_data, nullptr);
    EXPECT_NE(out.delete_pre_render_data_func, nullptr);
    const PatternSettings& settings = *static_cast<const PatternSettings*>(out.pre_render_data);
    EXPECT_EQ(std::make_tuple(settings.blurMode, settings.grayMode, settings.iterations, settings.useGpu),
              std::make_tuple(kBlurBox, kGrayAfter, 7, false));
    EXPECT_FLOAT_EQ(settings.blurSigma, 5.0f / 2.8368f / 2.0f);
    EXPECT_EQ(settings.sharpenSigma, 0.0f);
    EXPECT_EQ(settings.sharpenAmount, 10.0f);
    EXPECT_EQ(Edges(out.result_rect), std::make_tuple(2, 3, 30, 20));
    EXPECT_EQ(Edges(out.max_result_rect), std::make_tuple(0, 0, 40, 40));
    EXPECT_EQ(out.solid + out.flags, 0);

    const minihost::LayerCheckout layerCheckout = host().Render().LayerCheckouts().back();
    EXPECT_EQ(std::memcmp(&layerCheckout.request, &request, sizeof request), 0) << "request changed";
    EXPECT_EQ(std::make_tuple(layerCheckout.index, layerCheckout.checkoutId, layerCheckout.what_time,
                              layerCheckout.time_step, layerCheckout.time_scale),
              std::make_tuple(0, 0, 48, 2, 24u));
    // Every control that carries a value, in order.
    const std::vector<minihost::ParamCheckout> checkouts = host().Params().Checkouts();
    auto checkout = checkouts.begin() + std::ptrdiff_t(paramsBefore);
    for (const ControlRow& row : kControls) {
        if (!CarriesValue(row)) continue;
        ASSERT_NE(checkout, checkouts.end());
        EXPECT_EQ(std::make_tuple(checkout->index, checkout->what_time, checkout->time_step, checkout->time_scale),
                  std::make_tuple(row.index, 48, 2, 24u));
        ++checkout;
    }
    EXPECT_EQ(checkout, checkouts.end());

    // The GPU frameworks the effect renders with.
    for (const PF_GPU_Framework gpu : {PF_GPU_Framework_OPENCL, PF_GPU_Framework_METAL, PF_GPU_Framework_CUDA}) {
        Frame other(host().Render(), request, gpu, 8);
        ASSERT_EQ(host().Send(PF_Cmd_SMART_PRE_RENDER, other.PreRenderExtra()), PF_Err_NONE);
        EXPECT_EQ(static_cast<const PatternSettings*>(other.PreRenderOutput().pre_render_data)->useGpu,
                  gpu != PF_GPU_Framework_METAL);
    }
    host().SetTime(0, 1, 24);
    ExpectNothingOutlivesTheFrame();
}

TEST_F(Frames, FailuresReturnTheirCodeLeaveTheOutputAloneAndReleaseEverything) {
    struct Case {
        const char* what;
        std::function<void(PF_EffectWorld* layer)> arrange;
        PF_Err expected;
    };
    const Case cases[] = {
        {"a control cannot be checked out", [](PF_EffectWorld*) { host().Params().FailCheckout(3, 91); }, 91},
        {"a control cannot be checked in", [](PF_EffectWorld*) { host().Params().FailCheckin(2, 92); }, 92},
        {"no layer", [](PF_EffectWorld*) { host().Render().FailAt(SmartCall::kCheckoutLayer, 1, 93); }, 93},
        {"no layer pixels", [](PF_EffectWorld*) { host().Render().FailAt(SmartCall::kCheckoutLayerPixels, 1, 94); },
         94},
        {"no output", [](PF_EffectWorld*) { host().Render().FailAt(SmartCall::kCheckoutOutput, 1, 95); }, 95},
        {"no pixel format", [](PF_EffectWorld*) { host().Worlds().FailGetPixelFormat(1, 96); }, 96},
        {"no second working image", [](PF_EffectWorld*) { host().Worlds().FailNewWorld(2, 97); }, 97},
        {"an unsupported pixel format",
         [](PF_EffectWorld* layer) { host().Worlds().ReportFormatAs(layer, PF_PixelFormat_INVALID); },
         PF_Err_INTERNAL_STRUCT_DAMAGED},
        {"no world suite", [](PF_EffectWorld*) { host().Suites().Refuse(kPFWorldSuite, kPFWorldSuiteVersion2); },
         A_Err_MISSING_SUITE},
        {"the user interrupts",
         [](PF_EffectWorld*) {
             host().Params().SetProgress([](A_long, A_long) { return PF_Interrupt_CANCEL; });
         },
         PF_Interrupt_CANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PF_EffectWorld* layer = RandomWorld<Pixel8>(9, 8, 1, 3);
        PF_EffectWorld* output = RandomWorld<Pixel8>(9, 8, 1, 4);
        const std::vector<unsigned char> before = Bytes(*output);
        const int checkinsBefore = host().Render().PixelCheckins();
        const int checkoutsBefore = host().Render().PixelCheckouts();
        c.arrange(layer);
        EXPECT_EQ(Session().RenderFrame(*layer, *output, 8), c.expected);
        EXPECT_EQ(Bytes(*output), before);
        // The layer's pixels, when checked out, are checked in exactly once.
        EXPECT_LE(host().Render().PixelCheckouts() - checkoutsBefore, host().Render().PixelCheckins() - checkinsBefore);
        EXPECT_LE(host().Render().PixelCheckins() - checkinsBefore, 1);
        ExpectNothingOutlivesTheFrame();
        host().Suites().Offer(kPFWorldSuite, kPFWorldSuiteVersion2, host().Worlds().Table());
        host().Params().SetProgress(nullptr);
    }
    const PF_OutData& out = host().OutData();
    EXPECT_NE(out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    EXPECT_STREQ(out.return_msg, "Not able to acquire AEFX Suite.");
}

TEST_F(Frames, RenderWithoutPreRenderDataChecksNothingOut) {
    PF_EffectWorld* layer = RandomWorld<Pixel8>(4, 4, 0, 1);
    host().Render().SetLayer(layer);
    host().Render().SetOutput(layer);
    Frame frame(host().Render(), Frame::WholeFrame(4, 4), PF_GPU_Framework_NONE, 8);
    const auto counts = [] {
        return std::make_tuple(host().Render().PixelCheckouts(), host().Render().PixelCheckins(),
                               host().Render().OutputCheckouts());
    };
    const auto before = counts();
    EXPECT_EQ(host().Send(PF_Cmd_SMART_RENDER, frame.RenderExtra()), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(counts(), before);
}

TEST_F(Frames, CheckinFailureAfterAGoodRenderIsReported) {
    PF_EffectWorld* layer = RandomWorld<Pixel8>(6, 5, 0, 5);
    PF_EffectWorld* output = host().Worlds().MakeWorld(6, 5, PF_PixelFormat_ARGB32);
    host().Render().FailAt(SmartCall::kCheckinLayerPixels, 1, 98);
    EXPECT_EQ(Session().RenderFrame(*layer, *output, 8), 98);
    ExpectPicture(*output, Expected<Pixel8>(*layer, 6, 5, SettingsFromControls(Quick(), 1, false)));
    ExpectNothingOutlivesTheFrame();
}

// Both checkouts come before the world suite, the layer's check-in before its release.
TEST_F(Frames, RenderCallsTheHostInTheDocumentedOrder) {
    PF_EffectWorld* layer = RandomWorld<Pixel8>(5, 4, 0, 6);
    PF_EffectWorld* output = host().Worlds().MakeWorld(5, 4, PF_PixelFormat_ARGB32);
    ASSERT_EQ(Session().RenderFrame(*layer, *output, 8), PF_Err_NONE);
    const std::vector<std::string> calls = host().Log().Calls();
    const auto render = std::ranges::find(calls, "checkout_layer_pixels(0)");
    ASSERT_GE(calls.end() - render, 6);
    EXPECT_EQ(std::vector(render, render + 4),
              (std::vector<std::string>{"checkout_layer_pixels(0)", "checkout_output",
                                        "AcquireSuite(PF World Suite, 2)", "PF_GetPixelFormat"}));
    EXPECT_EQ(std::vector(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"checkin_layer_pixels(0)", "ReleaseSuite(PF World Suite, 2)"}));
}

// A NaN would spread through the first blur's window and leave a black
// square the filter's size; read as 0, it is one dark pixel among others.
TEST_F(Frames, NanInAFloatLayerReadsAsZero) {
    PF_EffectWorld* layer = RandomWorld<PixelF>(12, 10, 1, 8);
    PF_EffectWorld* output = host().Worlds().MakeWorld(12, 10, PF_PixelFormat_ARGB128);
    PixelF& pixel = reinterpret_cast<PixelF*>(layer->data)[5 * 13 + 6];
    const float nan = std::numeric_limits<float>::quiet_NaN();
    pixel = {nan, 0.5f, nan, -nan};
    ASSERT_EQ(Session().RenderFrame(*layer, *output, 32), PF_Err_NONE);
    pixel = {0.0f, 0.5f, 0.0f, 0.0f};
    ExpectPicture(*output, Expected<PixelF>(*layer, 12, 10, SettingsFromControls(Quick(), 1, false)));
}

TEST_F(Frames, OddGeometryIsHandledWithoutReadingOutsideTheLayer) {
    // An output without pixels is done at once.
    PF_EffectWorld* layer = RandomWorld<Pixel16>(8, 6, 0, 2);
    PF_EffectWorld* empty = host().Worlds().MakeWorld(0, 6, PF_PixelFormat_ARGB64);
    const size_t requests = host().Worlds().Requests().size();
    EXPECT_EQ(Session().RenderFrame(*layer, *empty, 16), PF_Err_NONE);
    EXPECT_EQ(host().Worlds().Requests().size(), requests);

    // A layer smaller than the output is refused before anything is read.
    for (const auto& [width, height] : {std::pair{9, 6}, std::pair{8, 7}}) {
        PF_EffectWorld* output = RandomWorld<Pixel16>(width, height, 0, 3);
        const std::vector<unsigned char> before = Bytes(*output);
        EXPECT_EQ(Session().RenderFrame(*layer, *output, 16), PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_EQ(Bytes(*output), before);
    }
    EXPECT_EQ(host().Worlds().Requests().size(), requests);
    ExpectNothingOutlivesTheFrame();
}

TEST_F(Frames, GpuFramesWithoutAUsableGpuGiveTheProcessorsPicture) {
    PF_EffectWorld* layer = RandomWorld<PixelF>(16, 12, 1, 9);
    PF_EffectWorld* output = host().Worlds().MakeWorld(16, 12, PF_PixelFormat_ARGB128, 1);
    EXPECT_EQ(Session().SetUpGpu(PF_GPU_Framework_OPENCL), PF_Err_NONE);
    ASSERT_EQ(Session().RenderFrame(*layer, *output, 32, PF_GPU_Framework_OPENCL), PF_Err_NONE);
    ExpectNothingOutlivesTheFrame();
    try {
        FindGpuDevice();
        GTEST_SKIP() << "a usable GPU rendered the frame; the GPU tests compare its pictures";
    } catch (const std::exception&) {
        ExpectPicture(*output, Expected<PixelF>(*layer, 16, 12, SettingsFromControls(Quick(), 1, false)));
    }
}

}  // namespace
}  // namespace maculo
