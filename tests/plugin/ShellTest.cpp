// What the built plug-in tells the host beside the picture: what pre-render
// asks of the input and reports, in what order a render calls the host, which
// controls a mode shows, and where it renders. The pictures themselves are
// the fuzzer's, the host-fault sweep's and the plug-in check's matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "controls/ControlTable.h"
#include "engine/PatternTypes.h"
#include "resources/PluginInfo.h"
#include "tests/TestSupport.h"

namespace maculo::test {
namespace {

using minihost::Frame;

class PluginShell : public testing::Test {
protected:
    void SetUp() override {
        host.SetEntry(Plugin().EffectMain());
        host.Aegp().SetPluginId(42);
        ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
        ASSERT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
    }

    const PatternSettings& PreRender(Frame& frame) {
        EXPECT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, frame.PreRenderExtra()), PF_Err_NONE);
        static const PatternSettings none{};
        const void* data = frame.PreRenderOutput().pre_render_data;
        return data != nullptr ? *static_cast<const PatternSettings*>(data) : none;
    }

    minihost::Host host;
};

std::tuple<A_long, A_long, A_long, A_long> Edges(const PF_LRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// The input is asked for exactly what was asked of the effect, at the frame's
// time; the result rectangle, empty at first, becomes the input's, and the
// maximal one is merged with the input's whole extent. OpenCL and CUDA frames
// go to the GPU.
TEST_F(PluginShell, PreRenderReadsAtTheFramesTimeAndPassesTheRequestOn) {
    host.SetTime(48, 2, 24);
    host.Params().SetValueAt(kParamAmount, 48, 7);  // keyed at the frame's time only
    host.Render().SetLayer(host.Worlds().MakeWorld(40, 30, PF_PixelFormat_ARGB32));
    PF_RenderRequest request = Frame::WholeFrame(40, 30);
    request.rect = {2, 3, 30, 20};
    request.field = 1;
    request.channel_mask = 0xE;
    request.preserve_rgb_of_zero_alpha = 1;
    Frame frame(host.Render(), request, PF_GPU_Framework_NONE, 8);
    frame.PreRenderExtra()->output->max_result_rect = {0, 0, 10, 40};
    const PatternSettings& settings = PreRender(frame);
    EXPECT_EQ(std::make_tuple(settings.iterations, settings.useGpu), std::make_tuple(7, false));
    EXPECT_EQ(Edges(frame.PreRenderOutput().result_rect), std::make_tuple(2, 3, 30, 20));
    EXPECT_EQ(Edges(frame.PreRenderOutput().max_result_rect), std::make_tuple(0, 0, 40, 40));

    const minihost::LayerCheckout layer = host.Render().LayerCheckouts().back();
    EXPECT_EQ(std::memcmp(&layer.request, &request, sizeof request), 0) << "request changed";
    EXPECT_EQ(std::make_tuple(layer.what_time, layer.time_step, layer.time_scale), std::make_tuple(48, 2, 24u));
    for (const minihost::ParamCheckout& c : host.Params().Checkouts()) {
        EXPECT_EQ(std::make_tuple(c.what_time, c.time_step, c.time_scale), std::make_tuple(48, 2, 24u)) << c.index;
    }
    EXPECT_EQ(host.Params().OutstandingCheckouts(), 0u);

    for (const PF_GPU_Framework gpu : {PF_GPU_Framework_OPENCL, PF_GPU_Framework_METAL, PF_GPU_Framework_CUDA}) {
        Frame other(host.Render(), request, gpu, 8);
        EXPECT_EQ(PreRender(other).useGpu, gpu != PF_GPU_Framework_METAL) << "framework " << gpu;
        // GPU device setup offers float GPU frames for the same frameworks:
        // from the flags global setup left, only that one is left, and
        // Metal leaves them as they were.
        PF_GPUDeviceSetupInput input{gpu, 0};
        PF_GPUDeviceSetupOutput output{nullptr};
        PF_GPUDeviceSetupExtra extra{&input, &output};
        host.OutData().out_flags2 = kGlobalOutFlags2;
        EXPECT_EQ(host.Send(PF_Cmd_GPU_DEVICE_SETUP, &extra), PF_Err_NONE);
        EXPECT_EQ(host.OutData().out_flags2,
                  gpu != PF_GPU_Framework_METAL ? PF_OutFlag2_SUPPORTS_GPU_RENDER_F32 : kGlobalOutFlags2);
    }
}

// Both checkouts come before the world suite, the layer's check-in before its release.
TEST_F(PluginShell, RenderCallsTheHostInTheDocumentedOrder) {
    host.Render().SetLayer(SeededWorld(host.Worlds(), 5, 4, 8, 0, 6));
    host.Render().SetOutput(host.Worlds().MakeWorld(5, 4, PF_PixelFormat_ARGB32));
    Frame frame(host.Render(), Frame::WholeFrame(5, 4), PF_GPU_Framework_NONE, 8);
    PreRender(frame);
    ASSERT_EQ(host.Send(PF_Cmd_SMART_RENDER, frame.RenderExtra()), PF_Err_NONE);
    const std::vector<std::string> calls = host.Log().Calls();
    const auto render = std::ranges::find(calls, "checkout_layer_pixels(0)");
    ASSERT_GE(calls.end() - render, 6);
    EXPECT_EQ(std::vector(render, render + 4),
              (std::vector<std::string>{"checkout_layer_pixels(0)", "checkout_output",
                                        "AcquireSuite(PF World Suite, 2)", "PF_GetPixelFormat"}));
    EXPECT_EQ(std::vector(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"checkin_layer_pixels(0)", "ReleaseSuite(PF World Suite, 2)"}));
}

// Each mode shows its own controls and hides the other's, and any mode but
// Simple is Detail; the controls both show are left alone.
TEST_F(PluginShell, ModeSwitchShowsThatModesControlsOnly) {
    for (const PF_ParamValue mode : {2, 1, 3}) {
        host.Params().SetValue(kParamMode, mode);
        EXPECT_EQ(host.Send(PF_Cmd_USER_CHANGED_PARAM), PF_Err_NONE);
        for (const Control& control : kControls) {
            const std::optional<bool> hidden = host.Aegp().Hidden(control.index);
            if (control.shownIn == ShownIn::kAlways) {
                EXPECT_FALSE(hidden.has_value()) << control.label;
            } else {
                EXPECT_EQ(hidden, (control.shownIn == ShownIn::kSimple) != (mode == 1))
                    << "mode " << mode << ", " << control.label;
            }
        }
    }
    for (const minihost::AegpCall& call : host.Aegp().Calls()) {
        if (call.function == minihost::AegpFunction::kGetNewEffectForEffect ||
            call.function == minihost::AegpFunction::kGetNewEffectStreamByIndex) {
            EXPECT_EQ(call.pluginId, 42) << "the id global setup registered";
        }
    }
    ExpectEverythingGivenBack(host);
}

}  // namespace
}  // namespace maculo::test
