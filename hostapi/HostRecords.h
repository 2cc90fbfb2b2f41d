// The records the host and the effect exchange: worlds, parameter
// definitions, the command records, the smart-render and GPU-setup extras and
// the entry points. Members the effect never touches are kept as reserved
// slots of the same size, so that every offset stays the host's.
#pragma once

#include "hostapi/HostTypes.h"

// --- worlds ------------------------------------------------------------------
// Pixels start at `data`; rows lie `rowbytes` apart.
struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    PF_WorldFlags world_flags;
    PF_PixelPtr data;
    A_long rowbytes;
    A_long width;
    A_long height;
    PF_UnionableRect extent_hint;
    void* platform_ref;
    A_long reserved_long1;
    void* reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void* reserved_long2;
    A_long origin_x;
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault;
};
using PF_EffectWorld = PF_LayerDef;
static_assert(sizeof(PF_LayerDef) == 120 && alignof(PF_LayerDef) == 8);
static_assert(offsetof(PF_LayerDef, world_flags) == 16 && offsetof(PF_LayerDef, data) == 24 &&
              offsetof(PF_LayerDef, rowbytes) == 32 && offsetof(PF_LayerDef, width) == 36 &&
              offsetof(PF_LayerDef, height) == 40 && offsetof(PF_LayerDef, extent_hint) == 44 &&
              offsetof(PF_LayerDef, platform_ref) == 64 && offsetof(PF_LayerDef, pix_aspect_ratio) == 88 &&
              offsetof(PF_LayerDef, origin_x) == 104 && offsetof(PF_LayerDef, dephault) == 116);

// --- parameter definitions -------------------------------------------------------
struct PF_PopupDef {
    PF_ParamValue value;
    A_short num_choices;
    A_short dephault;
    union {
        const A_char* namesptr;  // choices separated by "|"
    } u;
};
static_assert(sizeof(PF_PopupDef) == 16 && offsetof(PF_PopupDef, num_choices) == 4 &&
              offsetof(PF_PopupDef, dephault) == 6 && offsetof(PF_PopupDef, u) == 8);

struct PF_FloatSliderDef {
    PF_FpLong value;
    PF_FpLong phase;
    A_char value_desc[32];
    PF_FpShort valid_min;
    PF_FpShort valid_max;
    PF_FpShort slider_min;
    PF_FpShort slider_max;
    PF_FpShort dephault;
    PF_Precision precision;
    PF_ValueDisplayFlags display_flags;
    PF_FSliderFlags fs_flags;
    PF_FpShort curve_tolerance;
    PF_Boolean useExponent;
    PF_FpShort exponent;
};
static_assert(sizeof(PF_FloatSliderDef) == 88);
static_assert(offsetof(PF_FloatSliderDef, phase) == 8 && offsetof(PF_FloatSliderDef, value_desc) == 16 &&
              offsetof(PF_FloatSliderDef, valid_min) == 48 && offsetof(PF_FloatSliderDef, valid_max) == 52 &&
              offsetof(PF_FloatSliderDef, slider_min) == 56 && offsetof(PF_FloatSliderDef, slider_max) == 60 &&
              offsetof(PF_FloatSliderDef, dephault) == 64 && offsetof(PF_FloatSliderDef, precision) == 68 &&
              offsetof(PF_FloatSliderDef, display_flags) == 70 && offsetof(PF_FloatSliderDef, fs_flags) == 72 &&
              offsetof(PF_FloatSliderDef, curve_tolerance) == 76 && offsetof(PF_FloatSliderDef, useExponent) == 80 &&
              offsetof(PF_FloatSliderDef, exponent) == 84);

// The integer slider.
struct PF_SliderDef {
    PF_ParamValue value;
    A_char value_str[32];
    A_char value_desc[32];
    PF_ParamValue valid_min;
    PF_ParamValue valid_max;
    PF_ParamValue slider_min;
    PF_ParamValue slider_max;
    PF_ParamValue dephault;
};
static_assert(sizeof(PF_SliderDef) == 88);
static_assert(offsetof(PF_SliderDef, value_str) == 4 && offsetof(PF_SliderDef, value_desc) == 36 &&
              offsetof(PF_SliderDef, valid_min) == 68 && offsetof(PF_SliderDef, valid_max) == 72 &&
              offsetof(PF_SliderDef, slider_min) == 76 && offsetof(PF_SliderDef, slider_max) == 80 &&
              offsetof(PF_SliderDef, dephault) == 84);

// Only the members this effect uses; the layer member sets the union's size
// and every other member of the host's union is smaller. Group starts and
// ends carry no data of their own.
union PF_ParamDefUnion {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_PopupDef pd;
    PF_FloatSliderDef fs_d;
};
static_assert(sizeof(PF_ParamDefUnion) == 120 && alignof(PF_ParamDefUnion) == 8);

struct PF_ParamDef {
    union {
        A_long id;  // disk id
        A_long change_flags;
    } uu;
    PF_ParamUIFlags ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamType param_type;
    A_char name[32];
    PF_ParamFlags flags;
    A_long unused;
    PF_ParamDefUnion u;
};
using PF_ParamDefPtr = PF_ParamDef*;
using PF_ParamList = PF_ParamDef**;  // [0] is the input layer
static_assert(sizeof(PF_ParamDef) == 176);
static_assert(offsetof(PF_ParamDef, ui_flags) == 4 && offsetof(PF_ParamDef, ui_width) == 8 &&
              offsetof(PF_ParamDef, ui_height) == 10 && offsetof(PF_ParamDef, param_type) == 12 &&
              offsetof(PF_ParamDef, name) == 16 && offsetof(PF_ParamDef, flags) == 48 &&
              offsetof(PF_ParamDef, u) == 56);

// --- callbacks in PF_InData --------------------------------------------------------
struct PF_InteractCallbacks {
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                             A_u_long time_scale, PF_ParamDef* param);
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
    PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
    PF_Err (*abort)(PF_ProgPtr effect_ref);
    PF_Err (*progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
    void* register_ui;
    void* checkout_layer_audio;
    void* checkin_layer_audio;
    void* get_audio_data;
    void* reserved_str[3];
    void* reserved[10];
};
static_assert(sizeof(PF_InteractCallbacks) == 176);
static_assert(offsetof(PF_InteractCallbacks, checkout_param) == 0 &&
              offsetof(PF_InteractCallbacks, checkin_param) == 8 && offsetof(PF_InteractCallbacks, add_param) == 16 &&
              offsetof(PF_InteractCallbacks, abort) == 24 && offsetof(PF_InteractCallbacks, progress) == 32 &&
              offsetof(PF_InteractCallbacks, reserved_str) == 72 && offsetof(PF_InteractCallbacks, reserved) == 96);

// The ANSI functions; the host offers the same table as "PF ANSI Suite" 1 and
// inside the util callbacks. `sprintf` is C-variadic.
struct PF_ANSICallbacksSuite1 {
    A_FpLong (*atan)(A_FpLong);
    A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
    A_FpLong (*ceil)(A_FpLong);
    A_FpLong (*cos)(A_FpLong);
    A_FpLong (*exp)(A_FpLong);
    A_FpLong (*fabs)(A_FpLong);
    A_FpLong (*floor)(A_FpLong);
    A_FpLong (*fmod)(A_FpLong x, A_FpLong y);
    A_FpLong (*hypot)(A_FpLong x, A_FpLong y);
    A_FpLong (*log)(A_FpLong);
    A_FpLong (*log10)(A_FpLong);
    A_FpLong (*pow)(A_FpLong x, A_FpLong y);
    A_FpLong (*sin)(A_FpLong);
    A_FpLong (*sqrt)(A_FpLong);
    A_FpLong (*tan)(A_FpLong);
    int (*sprintf)(A_char* buffer, const A_char* format, ...);
    A_char* (*strcpy)(A_char* dest, const A_char* src);
    A_FpLong (*asin)(A_FpLong);
    A_FpLong (*acos)(A_FpLong);
};
static_assert(sizeof(PF_ANSICallbacksSuite1) == 152 && offsetof(PF_ANSICallbacksSuite1, sprintf) == 120 &&
              offsetof(PF_ANSICallbacksSuite1, acos) == 144);

// The block embedded in the util callbacks: the same table and one long.
struct PF_ANSICallbacks {
    PF_ANSICallbacksSuite1 procs;
    A_long unused_longA[1];
};
static_assert(sizeof(PF_ANSICallbacks) == 160);

struct PF_UtilCallbacks {
    void* sampling_to_handles[26];  // begin_sampling … get_callback_addr, app
    PF_ANSICallbacks ansi;
    void* colorCB[8];
    void* platform_to_pixel_data[14];  // get_platform_data … get_pixel_data16
    A_long reserved[1];
};
static_assert(sizeof(PF_UtilCallbacks) == 552 && offsetof(PF_UtilCallbacks, ansi) == 208 &&
              offsetof(PF_UtilCallbacks, ansi.procs.sprintf) == 328 && offsetof(PF_UtilCallbacks, colorCB) == 368 &&
              offsetof(PF_UtilCallbacks, platform_to_pixel_data) == 432 && offsetof(PF_UtilCallbacks, reserved) == 544);

struct SPBasicSuite;

// --- command records -----------------------------------------------------------------
struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    PF_Quality quality;
    PF_SpecVersion version;
    A_long serial_num;
    A_AppID appl_id;
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width;
    A_long height;
    PF_Rect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    PF_SoundWorld src_snd;
    SPBasicSuite* pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
};
static_assert(sizeof(PF_InData) == 408 && alignof(PF_InData) == 8);
static_assert(offsetof(PF_InData, utils) == 176 && offsetof(PF_InData, effect_ref) == 184 &&
              offsetof(PF_InData, appl_id) == 204 && offsetof(PF_InData, num_params) == 208 &&
              offsetof(PF_InData, current_time) == 224 && offsetof(PF_InData, time_step) == 228 &&
              offsetof(PF_InData, time_scale) == 240 && offsetof(PF_InData, width) == 252 &&
              offsetof(PF_InData, downsample_x) == 284 && offsetof(PF_InData, downsample_x.den) == 288 &&
              offsetof(PF_InData, downsample_y) == 292 && offsetof(PF_InData, global_data) == 312 &&
              offsetof(PF_InData, src_snd) == 352 && offsetof(PF_InData, pica_basicP) == 384 &&
              offsetof(PF_InData, shutter_phase) == 400);

struct PF_OutData {
    A_u_long my_version;
    A_char name[32];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    PF_Point origin;
    PF_OutFlags out_flags;
    A_char return_msg[256];
    A_long start_sampL;
    A_long dur_sampL;
    PF_SoundWorld dest_snd;
    PF_OutFlags2 out_flags2;
};
static_assert(sizeof(PF_OutData) == 408 && alignof(PF_OutData) == 8);
static_assert(offsetof(PF_OutData, name) == 4 && offsetof(PF_OutData, global_data) == 40 &&
              offsetof(PF_OutData, num_params) == 48 && offsetof(PF_OutData, sequence_data) == 56 &&
              offsetof(PF_OutData, origin) == 88 && offsetof(PF_OutData, out_flags) == 96 &&
              offsetof(PF_OutData, return_msg) == 100 && offsetof(PF_OutData, dest_snd) == 368 &&
              offsetof(PF_OutData, out_flags2) == 400);

// --- smart pre-render (command 23) -------------------------------------------------------
struct PF_RenderRequest {
    PF_LRect rect;
    PF_Field field;
    PF_ChannelMask channel_mask;
    PF_Boolean preserve_rgb_of_zero_alpha;
    char unused[3];
    A_long reserved[4];
};
static_assert(sizeof(PF_RenderRequest) == 44 && alignof(PF_RenderRequest) == 4);
static_assert(offsetof(PF_RenderRequest, field) == 16 && offsetof(PF_RenderRequest, channel_mask) == 20 &&
              offsetof(PF_RenderRequest, preserve_rgb_of_zero_alpha) == 24 &&
              offsetof(PF_RenderRequest, reserved) == 28);

struct PF_CheckoutResult {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_RationalScale par;
    PF_Boolean solid;
    PF_Boolean reservedB[3];
    A_long ref_width;
    A_long ref_height;
    A_long reserved[6];
};
static_assert(sizeof(PF_CheckoutResult) == 76);
static_assert(offsetof(PF_CheckoutResult, max_result_rect) == 16 && offsetof(PF_CheckoutResult, par) == 32 &&
              offsetof(PF_CheckoutResult, solid) == 40 && offsetof(PF_CheckoutResult, ref_width) == 44 &&
              offsetof(PF_CheckoutResult, ref_height) == 48 && offsetof(PF_CheckoutResult, reserved) == 52);

struct PF_PreRenderInput {
    PF_RenderRequest output_request;
    int16_t bitdepth;
    const void* gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
};
static_assert(sizeof(PF_PreRenderInput) == 64);
static_assert(offsetof(PF_PreRenderInput, bitdepth) == 44 && offsetof(PF_PreRenderInput, gpu_data) == 48 &&
              offsetof(PF_PreRenderInput, what_gpu) == 56 && offsetof(PF_PreRenderInput, device_index) == 60);

// Called by the host once it no longer needs the pre-render data.
using PF_DeletePreRenderDataFunc = void (*)(void* pre_render_data);

struct PF_PreRenderOutput {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_Boolean solid;
    PF_Boolean reserved;
    PF_RenderOutputFlags flags;
    void* pre_render_data;
    PF_DeletePreRenderDataFunc delete_pre_render_data_func;
};
static_assert(sizeof(PF_PreRenderOutput) == 56);
static_assert(offsetof(PF_PreRenderOutput, max_result_rect) == 16 && offsetof(PF_PreRenderOutput, solid) == 32 &&
              offsetof(PF_PreRenderOutput, flags) == 34 && offsetof(PF_PreRenderOutput, pre_render_data) == 40 &&
              offsetof(PF_PreRenderOutput, delete_pre_render_data_func) == 48);

struct PF_PreRenderCallbacks {
    PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_idL,
                             const PF_RenderRequest* req, A_long what_time, A_long time_step, A_u_long time_scale,
                             PF_CheckoutResult* checkout_result);
    PF_Err (*GuidMixInPtr)(PF_ProgPtr effect_ref, A_u_long buf_sizeLu, const void* buf);
};
static_assert(sizeof(PF_PreRenderCallbacks) == 16 && offsetof(PF_PreRenderCallbacks, checkout_layer) == 0);

struct PF_PreRenderExtra {
    PF_PreRenderInput* input;
    PF_PreRenderOutput* output;
    PF_PreRenderCallbacks* cb;
};
static_assert(sizeof(PF_PreRenderExtra) == 24 && offsetof(PF_PreRenderExtra, output) == 8 &&
              offsetof(PF_PreRenderExtra, cb) == 16);

// --- smart render (command 24) ----------------------------------------------------------------
struct PF_SmartRenderInput {
    PF_RenderRequest output_request;
    int16_t bitdepth;
    void* pre_render_data;
    const void* gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
};
static_assert(sizeof(PF_SmartRenderInput) == 72);
static_assert(offsetof(PF_SmartRenderInput, bitdepth) == 44 && offsetof(PF_SmartRenderInput, pre_render_data) == 48 &&
              offsetof(PF_SmartRenderInput, gpu_data) == 56 && offsetof(PF_SmartRenderInput, what_gpu) == 64 &&
              offsetof(PF_SmartRenderInput, device_index) == 68);

// Note the order: check-in comes before checkout_output.
struct PF_SmartRenderCallbacks {
    PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL, PF_EffectWorld** pixels);
    PF_Err (*checkin_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL);
    PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld** output);
};
static_assert(sizeof(PF_SmartRenderCallbacks) == 24 && offsetof(PF_SmartRenderCallbacks, checkin_layer_pixels) == 8 &&
              offsetof(PF_SmartRenderCallbacks, checkout_output) == 16);

struct PF_SmartRenderExtra {
    PF_SmartRenderInput* input;
    PF_SmartRenderCallbacks* cb;
};
static_assert(sizeof(PF_SmartRenderExtra) == 16 && offsetof(PF_SmartRenderExtra, cb) == 8);

// --- GPU device setup (command 32) ---------------------------------------------------------------
struct PF_GPUDeviceSetupInput {
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
};
static_assert(sizeof(PF_GPUDeviceSetupInput) == 8 && offsetof(PF_GPUDeviceSetupInput, device_index) == 4);

struct PF_GPUDeviceSetupOutput {
    void* gpu_data;
};
static_assert(sizeof(PF_GPUDeviceSetupOutput) == 8);

struct PF_GPUDeviceSetupExtra {
    PF_GPUDeviceSetupInput* input;
    PF_GPUDeviceSetupOutput* output;
};
static_assert(sizeof(PF_GPUDeviceSetupExtra) == 16 && offsetof(PF_GPUDeviceSetupExtra, output) == 8);

// --- user changed a parameter (command 13) ----------------------------------------------------------
struct PF_UserChangedParamExtra {
    PF_ParamIndex param_index;
};
static_assert(sizeof(PF_UserChangedParamExtra) == 4);

// --- entry points ----------------------------------------------------------------------------------
// The effect's entry point; `output` is the classic render target.
using PF_FilterProc = PF_Err (*)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamList params,
                                 PF_LayerDef* output, void* extra);

// The host's registration callback, called once from the registration entry.
using PF_PluginDataCB = A_Err (*)(PF_PluginDataPtr inPtr, const A_u_char* name, const A_u_char* matchName,
                                  const A_u_char* category, const A_u_char* entryPointName, A_long kind,
                                  A_long apiVersionMajor, A_long apiVersionMinor, A_long reservedInfo);

// The registration entry point the effect exports.
using PF_PluginDataEntryFunc = PF_Err (*)(PF_PluginDataPtr inPtr, PF_PluginDataCB cb, SPBasicSuite* basic,
                                          const char* hostName, const char* hostVersion);
