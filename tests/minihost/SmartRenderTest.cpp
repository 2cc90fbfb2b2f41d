#include <gtest/gtest.h>

#include "minihost/EffectRef.h"
#include "minihost/SmartRender.h"
#include "minihost/WorldSuite.h"

namespace maculo::minihost {
namespace {

int deletions = 0;
void* deletedData = nullptr;
void CountDeletion(void* data) {
    ++deletions;
    deletedData = data;
}

class SmartRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        deletions = 0;
        deletedData = nullptr;
        render.SetLayer(layer);
        render.SetOutput(output);
    }
    PF_Err CheckoutLayer(Frame& frame, A_long id, PF_CheckoutResult& result) {
        PF_PreRenderExtra* extra = frame.PreRenderExtra();
        return extra->cb->checkout_layer(TheEffectRef(), 0, id, &extra->input->output_request, 10, 1, 24, &result);
    }

    Journal journal;
    WorldSuite worlds{journal};
    SmartRenderHost render{journal};
    PF_EffectWorld* layer = worlds.MakeWorld(8, 6, PF_PixelFormat_ARGB32, 1);
    PF_EffectWorld* output = worlds.MakeWorld(8, 6, PF_PixelFormat_ARGB32, 1);
};

TEST_F(SmartRenderTest, CheckoutLayerReportsTheLayerWithinTheRequest) {
    PF_RenderRequest request = Frame::WholeFrame(20, 4);
    request.rect.left = 2;
    request.rect.top = 1;
    Frame frame(render, request, PF_GPU_Framework_NONE, 8);
    PF_CheckoutResult result{};
    ASSERT_EQ(CheckoutLayer(frame, 0, result), PF_Err_NONE);
    EXPECT_EQ(result.result_rect.left, 2);
    EXPECT_EQ(result.result_rect.top, 1);
    EXPECT_EQ(result.result_rect.right, 8);
    EXPECT_EQ(result.result_rect.bottom, 4);
    EXPECT_EQ(result.max_result_rect.right, 8);
    EXPECT_EQ(result.max_result_rect.bottom, 6);
    EXPECT_EQ(result.ref_width, 8);

    const LayerCheckout checkout = render.LayerCheckouts().at(0);
    EXPECT_EQ(checkout.request.rect.right, 20);
    EXPECT_EQ(checkout.what_time, 10);
    EXPECT_EQ(checkout.time_scale, 24u);

    Frame outside(render, Frame::WholeFrame(20, 4), PF_GPU_Framework_NONE, 8);
    outside.PreRenderExtra()->input->output_request.rect = PF_LRect{30, 30, 40, 40};
    ASSERT_EQ(CheckoutLayer(outside, 0, result), PF_Err_NONE);
    EXPECT_EQ(result.result_rect.right - result.result_rect.left, 0) << "nothing of the layer lies there";
}

TEST_F(SmartRenderTest, ServesPixelsOnlyForIdsCheckedOutAtPreRender) {
    Frame frame(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_OPENCL, 8);
    PF_CheckoutResult result{};
    ASSERT_EQ(CheckoutLayer(frame, 0, result), PF_Err_NONE);

    PF_SmartRenderExtra* extra = frame.RenderExtra();
    EXPECT_EQ(extra->input->what_gpu, PF_GPU_Framework_OPENCL);
    PF_EffectWorld* pixels = nullptr;
    PF_EffectWorld* out = nullptr;
    ASSERT_EQ(extra->cb->checkout_layer_pixels(TheEffectRef(), 0, &pixels), PF_Err_NONE);
    ASSERT_EQ(extra->cb->checkout_output(TheEffectRef(), &out), PF_Err_NONE);
    EXPECT_EQ(pixels, layer);
    EXPECT_EQ(out, output);
    EXPECT_EQ(extra->cb->checkin_layer_pixels(TheEffectRef(), 0), PF_Err_NONE);
    EXPECT_TRUE(journal.Misuses().empty());

    EXPECT_NE(extra->cb->checkout_layer_pixels(TheEffectRef(), 3, &pixels), PF_Err_NONE);
    EXPECT_NE(extra->cb->checkin_layer_pixels(TheEffectRef(), 3), PF_Err_NONE);
    EXPECT_EQ(journal.Misuses().size(), 2u);

    Frame next(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8);
    EXPECT_NE(next.RenderExtra()->cb->checkout_layer_pixels(TheEffectRef(), 0, &pixels), PF_Err_NONE)
        << "a new frame forgets the previous frame's checkouts";
}

TEST_F(SmartRenderTest, FailedPixelCheckoutMayStillBeCheckedIn) {
    render.FailAt(SmartCall::kCheckoutLayerPixels, 1, 11);
    Frame frame(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8);
    PF_CheckoutResult result{};
    ASSERT_EQ(CheckoutLayer(frame, 0, result), PF_Err_NONE);
    PF_SmartRenderExtra* extra = frame.RenderExtra();
    PF_EffectWorld* pixels = nullptr;
    EXPECT_EQ(extra->cb->checkout_layer_pixels(TheEffectRef(), 0, &pixels), 11);
    EXPECT_EQ(pixels, nullptr);
    EXPECT_EQ(extra->cb->checkin_layer_pixels(TheEffectRef(), 0), PF_Err_NONE);
    EXPECT_EQ(render.PixelCheckouts(), 0);
    EXPECT_EQ(render.PixelCheckins(), 1);
    EXPECT_TRUE(journal.Misuses().empty());
}

TEST_F(SmartRenderTest, PreRenderDataGoesBackToTheRenderAndIsDeletedOnce) {
    int record = 0;
    {
        Frame frame(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8);
        frame.PreRenderExtra()->output->pre_render_data = &record;
        frame.PreRenderExtra()->output->delete_pre_render_data_func = &CountDeletion;
        EXPECT_EQ(frame.RenderExtra()->input->pre_render_data, &record);
        frame.ReleasePreRenderData();
        frame.ReleasePreRenderData();
        EXPECT_EQ(deletions, 1);
    }
    EXPECT_EQ(deletions, 1) << "not again when the frame ends";
    EXPECT_EQ(deletedData, &record);

    {
        Frame unrendered(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8);
        unrendered.PreRenderExtra()->output->pre_render_data = &record;
        unrendered.PreRenderExtra()->output->delete_pre_render_data_func = &CountDeletion;
    }
    EXPECT_EQ(deletions, 2) << "also when no render followed";

    { Frame withoutData(render, Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8); }
    EXPECT_EQ(deletions, 2);
}

}  // namespace
}  // namespace maculo::minihost
