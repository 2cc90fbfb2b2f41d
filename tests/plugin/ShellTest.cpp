// What the built plug-in's pre-render asks of the host and tells it: the input
// is asked for exactly what was asked of the effect, at the frame's time; the
// result rectangle, empty at first, becomes the input's, and the maximal one
// is merged with the input's whole extent. OpenCL and CUDA frames go to the
// GPU. The pictures themselves are the fuzzer's, the host-fault sweep's and
// the plug-in check's matter, and so are the controls a mode shows.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "engine/PatternTypes.h"
#include "tests/TestSupport.h"

namespace maculo::test {
namespace {

using minihost::Frame;

std::tuple<A_long, A_long, A_long, A_long> Edges(const PF_LRect& r) { return {r.left, r.top, r.right, r.bottom}; }

TEST(PluginShell, PreRenderReadsAtTheFramesTimeAndPassesTheRequestOn) {
    minihost::Host host;
    host.SetEntry(Plugin().EffectMain());
    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    ASSERT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
    const auto preRender = [&](Frame& frame) {
        EXPECT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, frame.PreRenderExtra()), PF_Err_NONE);
        const void* data = frame.PreRenderOutput().pre_render_data;
        return data != nullptr ? *static_cast<const PatternSettings*>(data) : PatternSettings{};
    };

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
    const PatternSettings settings = preRender(frame);
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
        EXPECT_EQ(preRender(other).useGpu, gpu != PF_GPU_Framework_METAL) << "framework " << gpu;
    }
}

}  // namespace
}  // namespace maculo::test
