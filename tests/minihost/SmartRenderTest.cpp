#include <gtest/gtest.h>

#include <utility>

#include "minihost/EffectRef.h"
#include "minihost/Host.h"
#include "minihost/SmartRender.h"
#include "minihost/WorldSuite.h"

namespace maculo::minihost {
namespace {

int deletions = 0;
void CountDeletion(void*) { ++deletions; }

class SmartRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        deletions = 0;
        render.SetLayer(layer);
        render.SetOutput(output);
    }
    PF_Err CheckoutLayer(Frame& frame) {
        PF_PreRenderExtra* extra = frame.PreRenderExtra();
        PF_CheckoutResult result{};
        return extra->cb->checkout_layer(TheEffectRef(), 0, 0, &extra->input->output_request, 0, 1, 24, &result);
    }

    Journal journal;
    WorldSuite worlds{journal};
    SmartRenderHost render{journal};
    PF_EffectWorld* layer = worlds.MakeWorld(8, 6, PF_PixelFormat_ARGB32, 1);
    PF_EffectWorld* output = worlds.MakeWorld(8, 6, PF_PixelFormat_ARGB32, 1);
};

TEST_F(SmartRenderTest, ServesPixelsOnlyForIdsThisFrameCheckedOutAtPreRender) {
    Frame frame(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8);
    ASSERT_EQ(CheckoutLayer(frame), PF_Err_NONE);
    const PF_SmartRenderCallbacks& cb = *frame.RenderExtra()->cb;
    PF_EffectWorld* pixels = nullptr;
    EXPECT_NE(cb.checkout_layer_pixels(TheEffectRef(), 3, &pixels), PF_Err_NONE);
    EXPECT_NE(cb.checkin_layer_pixels(TheEffectRef(), 3), PF_Err_NONE);
    EXPECT_EQ(journal.Misuses().size(), 2u);
    ASSERT_EQ(cb.checkout_layer_pixels(TheEffectRef(), 0, &pixels), PF_Err_NONE);
    EXPECT_EQ(cb.checkin_layer_pixels(TheEffectRef(), 0), PF_Err_NONE);
    EXPECT_EQ(std::make_pair(render.PixelCheckouts(), render.PixelCheckins()), std::make_pair(1, 2));

    // A failed checkout counts as none, and may still be checked in.
    render.FailAt(SmartCall::kCheckoutLayerPixels, 1, 11);
    EXPECT_EQ(cb.checkout_layer_pixels(TheEffectRef(), 0, &pixels), 11);
    EXPECT_EQ(cb.checkin_layer_pixels(TheEffectRef(), 0), PF_Err_NONE);
    EXPECT_EQ(std::make_pair(render.PixelCheckouts(), render.PixelCheckins()), std::make_pair(1, 3));

    Frame next(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8);
    EXPECT_NE(next.RenderExtra()->cb->checkout_layer_pixels(TheEffectRef(), 0, &pixels), PF_Err_NONE)
        << "a new frame forgets the previous frame's checkouts";
    EXPECT_EQ(journal.Misuses().size(), 3u);
}

TEST_F(SmartRenderTest, PreRenderDataIsDeletedExactlyOnceRenderedOrNot) {
    int record = 0;
    for (const bool rendered : {true, false}) {
        {
            Frame frame(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8);
            frame.PreRenderExtra()->output->pre_render_data = &record;
            frame.PreRenderExtra()->output->delete_pre_render_data_func = &CountDeletion;
            if (rendered) {
                EXPECT_EQ(frame.RenderExtra()->input->pre_render_data, &record);
                frame.ReleasePreRenderData();
                frame.ReleasePreRenderData();
            }
        }
        EXPECT_EQ(deletions, 1) << (rendered ? "rendered" : "never rendered");
        deletions = 0;
    }
    { Frame withoutData(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8); }
    EXPECT_EQ(deletions, 0);
}

TEST_F(SmartRenderTest, FramesWithReferencesOfTheirOwnServeTheirOwnWorldsSideBySide) {
    PF_EffectWorld* otherLayer = worlds.MakeWorld(3, 3, PF_PixelFormat_ARGB32);
    PF_EffectWorld* otherOutput = worlds.MakeWorld(3, 3, PF_PixelFormat_ARGB32);
    Frame first(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8, FrameWorlds{layer, output});
    Frame second(render, Frame::WholeFrame(3, 3), PF_GPU_Framework_NONE, 8, FrameWorlds{otherLayer, otherOutput});
    ASSERT_NE(first.EffectRef(), second.EffectRef());
    ASSERT_NE(first.EffectRef(), TheEffectRef());

    PF_CheckoutResult result{};
    PF_PreRenderExtra* pre = second.PreRenderExtra();
    ASSERT_EQ(pre->cb->checkout_layer(second.EffectRef(), 0, 0, &pre->input->output_request, 0, 1, 24, &result),
              PF_Err_NONE);
    EXPECT_EQ(result.max_result_rect.right, 3) << "the second frame's layer";

    PF_EffectWorld* pixels = nullptr;
    const PF_SmartRenderCallbacks& cb = *second.RenderExtra()->cb;
    EXPECT_NE(cb.checkout_layer_pixels(first.EffectRef(), 0, &pixels), PF_Err_NONE)
        << "the first frame checked no layer out";
    ASSERT_EQ(cb.checkout_layer_pixels(second.EffectRef(), 0, &pixels), PF_Err_NONE);
    EXPECT_EQ(pixels, otherLayer);
    ASSERT_EQ(cb.checkout_output(first.EffectRef(), &pixels), PF_Err_NONE);
    EXPECT_EQ(pixels, output);
    EXPECT_EQ(journal.Misuses().size(), 1u);

    const PF_ProgPtr gone = [&] {
        Frame brief(render, Frame::WholeFrame(1, 1), PF_GPU_Framework_NONE, 8, FrameWorlds{layer, output});
        return brief.EffectRef();
    }();
    EXPECT_NE(cb.checkout_output(gone, &pixels), PF_Err_NONE) << "a finished frame's reference is dead";
    EXPECT_EQ(journal.Misuses().size(), 2u);
}

// Echoes the frame's time and resolution through out_data; fails on the host's
// own reference or a parameter array, which a frame's command does not get.
PF_Err EchoFrame(PF_Cmd, PF_InData* in, PF_OutData* out, PF_ParamList params, PF_LayerDef*, void*) {
    out->out_flags = in->current_time;
    out->out_flags2 = in->downsample_x.den;
    return in->effect_ref == TheEffectRef() || params != nullptr ? 1 : PF_Err_NONE;
}

TEST(Host, FramesGetRecordsOfTheirOwnAndLeaveTheHostsAlone) {
    Host host;
    host.SetEntry(&EchoFrame);
    FrameEffectRef ref;
    ASSERT_EQ(host.SendFrame(FrameCall{ref.Get(), 48, PF_RationalScale{1, 4}}, PF_Cmd_SMART_RENDER, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(host.OutData().out_flags, 48) << "what the frame left in out_data is kept";
    EXPECT_EQ(host.OutData().out_flags2, 4);
    EXPECT_EQ(host.InData().effect_ref, TheEffectRef());
    EXPECT_EQ(host.InData().current_time, 0);
    EXPECT_EQ(host.InData().downsample_x.den, 1u);
}

}  // namespace
}  // namespace maculo::minihost
