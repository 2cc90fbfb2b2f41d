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
    frames_[TheEffectRef()].worlds.layer = layer;
}

void SmartRenderHost::SetOutput(PF_EffectWorld* output) {
    std::lock_guard lock(mutex_);
    frames_[TheEffectRef()].worlds.output = output;
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
    frames_[TheEffectRef()].pixelsOut.clear();
}

void SmartRenderHost::Attach(PF_ProgPtr ref, const FrameWorlds& worlds) {
    std::lock_guard lock(mutex_);
    frames_[ref] = FrameState{worlds, {}};
}

void SmartRenderHost::Detach(PF_ProgPtr ref) {
    std::lock_guard lock(mutex_);
    frames_.erase(ref);
}

SmartRenderHost::FrameState* SmartRenderHost::StateOf(PF_ProgPtr ref) {
    auto it = frames_.find(ref);
    return it == frames_.end() ? nullptr : &it->second;
}

PF_Err SmartRenderHost::CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkoutId,
                                      const PF_RenderRequest* request, A_long what_time, A_long time_step,
                                      A_u_long time_scale, PF_CheckoutResult* result) {
    SmartRenderHost* self = ActiveSlot<SmartRenderHost>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault = self->journal_.Call(
        "checkout_layer(" + std::to_string(index) + ", " + std::to_string(checkoutId) + ")", kCanError);
    if (!IsOurEffect(effect_ref, self->journal_, "checkout_layer") || !request || !result)
        return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    self->layerCheckouts_.push_back(LayerCheckout{index, checkoutId, *request, what_time, time_step, time_scale});
    if (PF_Err planned = self->plans_[SmartCall::kCheckoutLayer].Next()) return planned;
    if (fault == Fault::kError) return kInjectedError;
    if (index != 0) {
        self->journal_.Misuse("checkout_layer: parameter " + std::to_string(index) + " is not a layer");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    FrameState* frame = self->StateOf(effect_ref);
    if (!frame || !frame->worlds.layer) return PF_Err_BAD_CALLBACK_PARAM;

    const PF_EffectWorld& layer = *frame->worlds.layer;
    const PF_LRect bounds{0, 0, layer.width, layer.height};
    *result = PF_CheckoutResult{};
    result->result_rect = Intersect(request->rect, bounds);
    result->max_result_rect = bounds;
    result->par = layer.pix_aspect_ratio;
    result->ref_width = layer.width;
    result->ref_height = layer.height;
    frame->pixelsOut.try_emplace(checkoutId, 0);
    return PF_Err_NONE;
}

PF_Err SmartRenderHost::GuidMixIn(PF_ProgPtr, A_u_long, const void*) { return PF_Err_NONE; }

PF_Err SmartRenderHost::CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkoutId, PF_EffectWorld** pixels) {
    SmartRenderHost* self = ActiveSlot<SmartRenderHost>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault =
        self->journal_.Call("checkout_layer_pixels(" + std::to_string(checkoutId) + ")", kCanErrorOrBeEmpty);
    if (!IsOurEffect(effect_ref, self->journal_, "checkout_layer_pixels") || !pixels) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    if (PF_Err planned = self->plans_[SmartCall::kCheckoutLayerPixels].Next()) return planned;
    if (fault == Fault::kError) return kInjectedError;
    FrameState* frame = self->StateOf(effect_ref);
    auto it = frame ? frame->pixelsOut.find(checkoutId) : std::map<A_long, int>::iterator{};
    if (!frame || it == frame->pixelsOut.end()) {
        self->journal_.Misuse("checkout_layer_pixels: id not checked out at pre-render");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!frame->worlds.layer) return PF_Err_BAD_CALLBACK_PARAM;
    if (fault == Fault::kEmpty) {
        *pixels = nullptr;
        return PF_Err_NONE;
    }
    ++it->second;
    ++self->pixelCheckouts_;
    *pixels = frame->worlds.layer;
    return PF_Err_NONE;
}

PF_Err SmartRenderHost::CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkoutId) {
    SmartRenderHost* self = ActiveSlot<SmartRenderHost>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault = self->journal_.Call("checkin_layer_pixels(" + std::to_string(checkoutId) + ")", kCanError);
    if (!IsOurEffect(effect_ref, self->journal_, "checkin_layer_pixels")) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    ++self->pixelCheckins_;
    // Checking in after a failed pixel checkout is allowed; an id unknown to this frame is not.
    FrameState* frame = self->StateOf(effect_ref);
    auto it = frame ? frame->pixelsOut.find(checkoutId) : std::map<A_long, int>::iterator{};
    if (!frame || it == frame->pixelsOut.end()) {
        self->journal_.Misuse("checkin_layer_pixels: id not checked out at pre-render");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (it->second > 0) --it->second;
    // A check-in that answers an error still counts as made.
    const PF_Err planned = self->plans_[SmartCall::kCheckinLayerPixels].Next();
    return planned != PF_Err_NONE || fault != Fault::kError ? planned : kInjectedError;
}

PF_Err SmartRenderHost::CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    SmartRenderHost* self = ActiveSlot<SmartRenderHost>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    const Fault fault = self->journal_.Call("checkout_output", kCanErrorOrBeEmpty);
    if (!IsOurEffect(effect_ref, self->journal_, "checkout_output") || !output) return PF_Err_BAD_CALLBACK_PARAM;

    std::lock_guard lock(self->mutex_);
    if (PF_Err planned = self->plans_[SmartCall::kCheckoutOutput].Next()) return planned;
    if (fault == Fault::kError) return kInjectedError;
    FrameState* frame = self->StateOf(effect_ref);
    if (!frame || !frame->worlds.output) return PF_Err_BAD_CALLBACK_PARAM;
    if (fault == Fault::kEmpty) {
        *output = nullptr;
        return PF_Err_NONE;
    }
    ++self->outputCheckouts_;
    *output = frame->worlds.output;
    return PF_Err_NONE;
}

Frame::Frame(SmartRenderHost& host, const PF_RenderRequest& request, PF_GPU_Framework whatGpu, int16_t bitdepth)
    : Frame(host, request, whatGpu, bitdepth, false) {
    host.BeginFrame();
}

Frame::Frame(SmartRenderHost& host, const PF_RenderRequest& request, PF_GPU_Framework whatGpu, int16_t bitdepth,
             const FrameWorlds& worlds)
    : Frame(host, request, whatGpu, bitdepth, true) {
    host.Attach(ownRef_->Get(), worlds);
}

Frame::Frame(SmartRenderHost& host, const PF_RenderRequest& request, PF_GPU_Framework whatGpu, int16_t bitdepth,
             bool ownRef)
    : host_(host) {
    if (ownRef) ownRef_.emplace();
    preRenderInput_.output_request = request;
    preRenderInput_.bitdepth = bitdepth;
    preRenderInput_.what_gpu = whatGpu;
    preRenderCallbacks_ = *host.PreRenderCallbacks();
    renderCallbacks_ = *host.RenderCallbacks();
    preRenderExtra_ = PF_PreRenderExtra{&preRenderInput_, &preRenderOutput_, &preRenderCallbacks_};
}

Frame::~Frame() {
    ReleasePreRenderData();
    if (ownRef_) host_.Detach(ownRef_->Get());
}

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
