// The host's side of smart rendering. SmartRenderHost answers the effect's
// callbacks: checkout_layer at pre-render (the layer over the requested
// area), then the layer's pixels and the output buffer at render. A Frame
// holds one frame's records, from the pre-render request to the moment the
// host hands the pre-render data back through delete_pre_render_data_func.
// Frames with worlds and an effect reference of their own may be in flight
// on several threads at once, as under the host's multi-frame rendering.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "hostapi/HostApi.h"
#include "minihost/ActiveSlot.h"
#include "minihost/EffectRef.h"
#include "minihost/FailurePlan.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

struct LayerCheckout {
    PF_ParamIndex index;
    A_long checkoutId;
    PF_RenderRequest request;
    A_long what_time;
    A_long time_step;
    A_u_long time_scale;
};

enum class SmartCall { kCheckoutLayer, kCheckoutLayerPixels, kCheckoutOutput, kCheckinLayerPixels };

// The layer's pixels and the output buffer of one frame: host worlds, e.g.
// from WorldSuite::MakeWorld. The layer's size bounds what checkout_layer reports.
struct FrameWorlds {
    PF_EffectWorld* layer = nullptr;
    PF_EffectWorld* output = nullptr;
};

class SmartRenderHost {
public:
    explicit SmartRenderHost(Journal& journal);

    const PF_PreRenderCallbacks* PreRenderCallbacks() const { return &preRender_; }
    const PF_SmartRenderCallbacks* RenderCallbacks() const { return &render_; }

    // The worlds of the frames to come that have none of their own.
    void SetLayer(PF_EffectWorld* layer);
    void SetOutput(PF_EffectWorld* output);

    void FailAt(SmartCall call, int nthCallFromNow, PF_Err code);

    std::vector<LayerCheckout> LayerCheckouts() const;
    int PixelCheckouts() const;  // successful checkout_layer_pixels calls
    int PixelCheckins() const;   // checkin_layer_pixels calls
    int OutputCheckouts() const;

    // A new frame without worlds of its own: forgets the layer checkouts of the previous one.
    void BeginFrame();

private:
    friend class Frame;

    struct FrameState {
        FrameWorlds worlds;
        std::map<A_long, int> pixelsOut;  // checkout id -> pixel checkouts not yet checked in
    };

    // Frames with worlds of their own, under their own reference.
    void Attach(PF_ProgPtr ref, const FrameWorlds& worlds);
    void Detach(PF_ProgPtr ref);
    // The state of the frame that `ref` belongs to, or null; mutex_ held.
    FrameState* StateOf(PF_ProgPtr ref);

    static PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkoutId,
                                const PF_RenderRequest* request, A_long what_time, A_long time_step,
                                A_u_long time_scale, PF_CheckoutResult* result);
    static PF_Err GuidMixIn(PF_ProgPtr effect_ref, A_u_long size, const void* buffer);
    static PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkoutId, PF_EffectWorld** pixels);
    static PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkoutId);
    static PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output);

    Journal& journal_;
    PF_PreRenderCallbacks preRender_{};
    PF_SmartRenderCallbacks render_{};
    mutable std::mutex mutex_;
    // By effect reference; TheEffectRef()'s serves the frames without worlds of their own.
    std::map<PF_ProgPtr, FrameState> frames_;
    std::map<SmartCall, FailurePlan> plans_;
    std::vector<LayerCheckout> layerCheckouts_;
    int pixelCheckouts_ = 0;
    int pixelCheckins_ = 0;
    int outputCheckouts_ = 0;
    ActiveSlot<SmartRenderHost> active_{this};
};

// One frame's exchange. The host keeps the pre-render output until it no
// longer needs it and then, once, calls the effect's delete function, also
// when no render followed the pre-render.
class Frame {
public:
    Frame(SmartRenderHost& host, const PF_RenderRequest& request, PF_GPU_Framework whatGpu, int16_t bitdepth);
    // A frame with worlds and an effect reference of its own.
    Frame(SmartRenderHost& host, const PF_RenderRequest& request, PF_GPU_Framework whatGpu, int16_t bitdepth,
          const FrameWorlds& worlds);
    ~Frame();
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // The extra of PF_Cmd_SMART_PRE_RENDER; its output starts with empty rectangles.
    PF_PreRenderExtra* PreRenderExtra() { return &preRenderExtra_; }
    // The extra of PF_Cmd_SMART_RENDER, carrying the pre-render data back.
    PF_SmartRenderExtra* RenderExtra();
    const PF_PreRenderOutput& PreRenderOutput() const { return preRenderOutput_; }
    // What the frame's commands pass as PF_InData.effect_ref.
    PF_ProgPtr EffectRef() const { return ownRef_ ? ownRef_->Get() : TheEffectRef(); }

    // Hands the pre-render data back to the effect's delete function, once.
    void ReleasePreRenderData();

    // A request for the whole of a width × height frame.
    static PF_RenderRequest WholeFrame(A_long width, A_long height);

private:
    Frame(SmartRenderHost& host, const PF_RenderRequest& request, PF_GPU_Framework whatGpu, int16_t bitdepth,
          bool ownRef);

    SmartRenderHost& host_;
    std::optional<FrameEffectRef> ownRef_;
    PF_PreRenderInput preRenderInput_{};
    PF_PreRenderOutput preRenderOutput_{};
    PF_PreRenderCallbacks preRenderCallbacks_{};
    PF_PreRenderExtra preRenderExtra_{};
    PF_SmartRenderInput renderInput_{};
    PF_SmartRenderCallbacks renderCallbacks_{};
    PF_SmartRenderExtra renderExtra_{};
    bool released_ = false;
};

}  // namespace maculo::minihost
