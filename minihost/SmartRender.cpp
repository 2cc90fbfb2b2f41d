#include "minihost/SmartRender.h"

#include <algorithm>
#include <string>

#include "minihost/EffectRef.h"

namespace maculo::minihost {

namespace {

PF_LRect Intersect(const PF_LRect& a, const PF_LRect& b) {
    PF_LRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) return PF_LRect{0, 0, 0, 0};
    return r;
}

}  // namespace

SmartRenderHost::SmartRenderHost(Journal& journal) : journal_(journal) {
    preRender_.checkout_layer = &SmartRenderHost::CheckoutLayer;
    preRender_.GuidMixInPtr = &SmartRenderHost::GuidMixIn;
    render_.checkout_layer_pixels = &SmartRenderHost::CheckoutLayerPixels;
    render_.checkin_layer_pixels = &SmartRenderHost::CheckinLayerPixels;
    render_.checkout_output = &SmartRenderHost::CheckoutOutput;
}

void SmartRenderHost::SetLayer(PF_EffectWorld* layer) {
    std::lock_guard lock(mutex_);
    layer_ = layer;
}

void SmartRenderHost::SetOutput(PF_EffectWorld* output) {
    std::lock_guard lock(mutex_);
    output_ = output;
}

void SmartRenderHost::FailAt(SmartCall call, int nthCallFromNow, PF_Err code) {
    std::lock_guard lock(mutex_);
    plans_[call].FailAt(nthCallFromNow, code);
}

std::vector<LayerCheckout> SmartRenderHost::LayerCheckouts() const {
    std::lock_guard lock(mutex_);
    return layerCheckouts_;
}

int SmartRenderHost::PixelCheckouts() const {
    std::lock_guard lock(mutex_);
    return pixelCheckouts_;
}

int SmartRenderHost::PixelCheckins() const {
    std::lock_guard lock(mutex_);
    return pixelCheckins_;
}

int SmartRenderHost::OutputCheckouts() const {
    std::lock_guard lock(mutex_);
    return outputCheckouts_;
}

void SmartRenderHost::BeginFrame() {
    std::lock_guard lock(mutex_);
    pixelsOut_.clear();
}

PF_Err SmartRenderHost::CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkoutId,
                                      const PF_RenderRequest* request, A_long what_time, A_long time_step,
                                      A_u_long time_scale, PF_CheckoutResult* result) {
    SmartRenderHost* self = ActiveSlot<SmartRenderHost>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    self->journal_.Call("checkout_layer(" + std::to_string(index) + ", " + std::to_string(checkoutId) + ")");
    if (!IsOurEffect(effect_ref, self->journal_, "checkout_layer") || !request || !result)
        return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    self->layerCheckouts_.push_back(LayerCheckout{index, checkoutId, *request, what_time, time_step, time_scale});
    if (PF_Err planned = self->plans_[SmartCall::kCheckoutLayer].Next()) return planned;
    if (index != 0) {
        self->journal_.Misuse("checkout_layer: parameter " + std::to_string(index) + " is not a layer");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!self->layer_) return PF_Err_BAD_CALLBACK_PARAM;

    const PF_LRect bounds{0, 0, self->layer_->width, self->layer_->height};
    *result = PF_CheckoutResult{};
    result->result_rect = Intersect(request->rect, bounds);
    result->max_result_rect = bounds;
    result->par = self->layer_->pix_aspect_ratio;
    result->ref_width = self->layer_->width;
    result->ref_height = self->layer_->height;
    self->pixelsOut_.try_emplace(checkoutId, 0);
    return PF_Err_NONE;
}

PF_Err SmartRenderHost::GuidMixIn(PF_ProgPtr, A_u_long, const void*) { return PF_Err_NONE; }

PF_Err SmartRenderHost::CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkoutId, PF_EffectWorld** pixels) {
    SmartRenderHost* self = ActiveSlot<SmartRenderHost>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    self->journal_.Call("checkout_layer_pixels(" + std::to_string(checkoutId) + ")");
    if (!IsOurEffect(effect_ref, self->journal_, "checkout_layer_pixels") || !pixels) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    if (PF_Err planned = self->plans_[SmartCall::kCheckoutLayerPixels].Next()) return planned;
    auto it = self->pixelsOut_.find(checkoutId);
    if (it == self->pixelsOut_.end()) {
        self->journal_.Misuse("checkout_layer_pixels: id not checked out at pre-render");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!self->layer_) return PF_Err_BAD_CALLBACK_PARAM;
    ++it->second;
    ++self->pixelCheckouts_;
    *pixels = self->layer_;
    return PF_Err_NONE;
}

PF_Err SmartRenderHost::CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkoutId) {
    SmartRenderHost* self = ActiveSlot<SmartRenderHost>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    self->journal_.Call("checkin_layer_pixels(" + std::to_string(checkoutId) + ")");
    if (!IsOurEffect(effect_ref, self->journal_, "checkin_layer_pixels")) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    ++self->pixelCheckins_;
    // Checking in after a failed pixel checkout is allowed; an id unknown to this frame is not.
    auto it = self->pixelsOut_.find(checkoutId);
    if (it == self->pixelsOut_.end()) {
        self->journal_.Misuse("checkin_layer_pixels: id not checked out at pre-render");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (it->second > 0) --it->second;
    return self->plans_[SmartCall::kCheckinLayerPixels].Next();
}

PF_Err SmartRenderHost::CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    SmartRenderHost* self = ActiveSlot<SmartRenderHost>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    self->journal_.Call("checkout_output");
    if (!IsOurEffect(effect_ref, self->journal_, "checkout_output") || !output) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    if (PF_Err planned = self->plans_[SmartCall::kCheckoutOutput].Next()) return planned;
    if (!self->output_) return PF_Err_BAD_CALLBACK_PARAM;
    ++self->outputCheckouts_;
    *output = self->output_;
    return PF_Err_NONE;
}

Frame::Frame(SmartRenderHost& host, const PF_RenderRequest& request, PF_GPU_Framework whatGpu, int16_t bitdepth) {
    host.BeginFrame();
    preRenderInput_.output_request = request;
    preRenderInput_.bitdepth = bitdepth;
    preRenderInput_.what_gpu = whatGpu;
    preRenderCallbacks_ = *host.PreRenderCallbacks();
    renderCallbacks_ = *host.RenderCallbacks();
    preRenderExtra_ = PF_PreRenderExtra{&preRenderInput_, &preRenderOutput_, &preRenderCallbacks_};
}

Frame::~Frame() { ReleasePreRenderData(); }

PF_SmartRenderExtra* Frame::RenderExtra() {
    renderInput_.output_request = preRenderInput_.output_request;
    renderInput_.bitdepth = preRenderInput_.bitdepth;
    renderInput_.pre_render_data = preRenderOutput_.pre_render_data;
    renderInput_.gpu_data = preRenderInput_.gpu_data;
    renderInput_.what_gpu = preRenderInput_.what_gpu;
    renderInput_.device_index = preRenderInput_.device_index;
    renderExtra_ = PF_SmartRenderExtra{&renderInput_, &renderCallbacks_};
    return &renderExtra_;
}

void Frame::ReleasePreRenderData() {
    if (released_) return;
    released_ = true;
    if (preRenderOutput_.delete_pre_render_data_func)
        preRenderOutput_.delete_pre_render_data_func(preRenderOutput_.pre_render_data);
}

PF_RenderRequest Frame::WholeFrame(A_long width, A_long height) {
    PF_RenderRequest request{};
    request.rect = PF_LRect{0, 0, width, height};
    return request;
}

}  // namespace maculo::minihost
