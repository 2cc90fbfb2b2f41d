#include <algorithm>
#include <memory>
#include <new>

#include "controls/ControlValues.h"
#include "engine/ControlSettings.h"
#include "plugin/AcquiredSuites.h"
#include "plugin/Commands.h"
#include "plugin/HostError.h"
#include "plugin/RenderDriver.h"

namespace maculo {

namespace {

// The controls are checked out and in in table order.
constexpr size_t kReadCount = kValueControls.size();

// The frame's settings record is the pre-render data. It lives on the heap,
// not in a host handle, because the host releases it through
// delete_pre_render_data_func, which gets no suites to dispose a handle with.
void DeleteSettings(void* settings) noexcept { delete static_cast<PatternSettings*>(settings); }

double ValueOf(const Control& control, const PF_ParamDef& def) {
    if (control.kind == ControlKind::kChoice) return def.u.pd.value;
    if (control.kind == ControlKind::kWholeNumber) return def.u.sd.value;
    return def.u.fs_d.value;
}

PatternControls ControlsOf(const PF_ParamDef (&params)[kReadCount]) {
    ParamValues values{};
    for (size_t i = 0; i < kReadCount; ++i) values[kValueControls[i]->index] = ValueOf(*kValueControls[i], params[i]);
    return PatternControlsOf(values);
}

// Checks the controls out at the frame's time and in again, in order. A
// failed checkout ends the reading; whatever was checked out is checked in,
// and the first error is the result.
PF_Err ReadControls(const PF_InData& in_data, PatternControls& controls) {
    PF_ParamDef params[kReadCount] = {};
    size_t out = 0;
    PF_Err err = PF_Err_NONE;
    while (out < kReadCount) {
        err = in_data.inter.checkout_param(in_data.effect_ref, kValueControls[out]->index, in_data.current_time,
                                           in_data.time_step, in_data.time_scale, &params[out]);
        if (err != PF_Err_NONE) break;
        ++out;
    }
    if (err == PF_Err_NONE) controls = ControlsOf(params);
    for (size_t i = 0; i < out; ++i) {
        const PF_Err checkin = in_data.inter.checkin_param(in_data.effect_ref, &params[i]);
        if (err == PF_Err_NONE) err = checkin;
    }
    return err;
}

bool IsEmpty(const PF_LRect& r) { return r.left >= r.right || r.top >= r.bottom; }

// Grows `into` to cover `from`; an empty `into` becomes `from`.
void MergeRect(const PF_LRect& from, PF_LRect& into) {
    if (IsEmpty(into)) {
        into = from;
    } else if (!IsEmpty(from)) {
        into = {std::min(into.left, from.left), std::min(into.top, from.top), std::max(into.right, from.right),
                std::max(into.bottom, from.bottom)};
    }
}

// Checks the input layer in once, also when an error unwinds the render.
class LayerCheckin {
public:
    LayerCheckin(const PF_SmartRenderCallbacks& callbacks, PF_ProgPtr effectRef) noexcept
        : callbacks_(callbacks), effectRef_(effectRef) {}
    ~LayerCheckin() {
        if (!done_) callbacks_.checkin_layer_pixels(effectRef_, 0);
    }
    LayerCheckin(const LayerCheckin&) = delete;
    LayerCheckin& operator=(const LayerCheckin&) = delete;

    PF_Err Checkin() noexcept {
        done_ = true;
        return callbacks_.checkin_layer_pixels(effectRef_, 0);
    }

private:
    const PF_SmartRenderCallbacks& callbacks_;
    PF_ProgPtr effectRef_;
    bool done_ = false;
};

}  // namespace

PF_Err SmartPreRender(const PF_InData& in_data, PF_PreRenderExtra& extra) {
    const PF_PreRenderInput& input = RequireRecord(extra.input);
    PF_PreRenderOutput& output = RequireRecord(extra.output);
    const PF_PreRenderCallbacks& callbacks = RequireRecord(extra.cb);
    // The input is asked for exactly the area asked of the effect: the blurs
    // mirror at the edges of what they get.
    const PF_RenderRequest request = input.output_request;

    std::unique_ptr<PatternSettings> settings(new (std::nothrow) PatternSettings{});
    if (settings == nullptr) return PF_Err_OUT_OF_MEMORY;
    PatternControls controls{};
    if (const PF_Err err = ReadControls(in_data, controls)) return err;
    const bool useGpu = input.what_gpu == PF_GPU_Framework_OPENCL || input.what_gpu == PF_GPU_Framework_CUDA;
    *settings = SettingsFromControls(controls, in_data.downsample_x.den, useGpu);

    PF_CheckoutResult layer{};
    if (const PF_Err err = callbacks.checkout_layer(in_data.effect_ref, 0, 0, &request, in_data.current_time,
                                                    in_data.time_step, in_data.time_scale, &layer))
        return err;
    MergeRect(layer.result_rect, output.result_rect);
    MergeRect(layer.max_result_rect, output.max_result_rect);

    // Only a complete frame hands the record over; on every failure above it
    // is freed here and the host has nothing to release.
    output.pre_render_data = settings.release();
    output.delete_pre_render_data_func = &DeleteSettings;
    return PF_Err_NONE;
}

PF_Err SmartRender(const PF_InData& in_data, PF_OutData* out_data, PF_SmartRenderExtra& extra) {
    const PF_SmartRenderInput& input = RequireRecord(extra.input);
    const PF_SmartRenderCallbacks& callbacks = RequireRecord(extra.cb);
    if (input.pre_render_data == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const PatternSettings& settings = *static_cast<const PatternSettings*>(input.pre_render_data);

    LayerCheckin checkin(callbacks, in_data.effect_ref);
    PF_EffectWorld* layer = nullptr;
    PF_EffectWorld* output = nullptr;
    PF_Err err = callbacks.checkout_layer_pixels(in_data.effect_ref, 0, &layer);
    if (err == PF_Err_NONE) err = callbacks.checkout_output(in_data.effect_ref, &output);
    if (err == PF_Err_NONE && (layer == nullptr || output == nullptr)) err = PF_Err_INTERNAL_STRUCT_DAMAGED;

    // Acquired after the checkouts, whatever they answered: the order hosts
    // are written for. When it is missing, the layer is checked in as the
    // error unwinds.
    const ScopedSuite<PF_WorldSuite2> worlds(in_data, out_data);

    // The input's format stands for both worlds.
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    if (err == PF_Err_NONE) err = worlds->PF_GetPixelFormat(layer, &format);
    if (err == PF_Err_NONE) err = RenderPattern(in_data, out_data, format, *layer, *output, settings);

    const PF_Err checkinErr = checkin.Checkin();
    return err != PF_Err_NONE ? err : checkinErr;
}

}  // namespace maculo
