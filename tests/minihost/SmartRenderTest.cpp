#include <gtest/gtest.h>

#include <utility>

#include "minihost/EffectRef.h"
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
        render.SetLayer(worlds.MakeWorld(8, 6, PF_PixelFormat_ARGB32, 1));
        render.SetOutput(worlds.MakeWorld(8, 6, PF_PixelFormat_ARGB32, 1));
    }
    PF_Err CheckoutLayer(Frame& frame) {
        PF_PreRenderExtra* extra = frame.PreRenderExtra();
        PF_CheckoutResult result{};
        return extra->cb->checkout_layer(TheEffectRef(), 0, 0, &extra->input->output_request, 0, 1, 24, &result);
    }

    Journal journal;
    WorldSuite worlds{journal};
    SmartRenderHost render{journal};
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

}  // namespace
}  // namespace maculo::minihost
