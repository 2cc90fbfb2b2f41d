// The host's suites: function tables acquired by name and version through the
// basic suite. Member k of every table lies at byte 8·k; members the effect
// never calls are kept as untyped slots so that each table has the host's size.
#pragma once

#include "hostapi/HostRecords.h"

// --- names and versions ------------------------------------------------------
inline constexpr char kSPBasicSuite[] = "SP Basic Suite";
inline constexpr int32_t kSPBasicSuiteVersion = 4;
inline constexpr char kPFANSISuite[] = "PF ANSI Suite";
inline constexpr int32_t kPFANSISuiteVersion1 = 1;
inline constexpr char kPFHandleSuite[] = "PF Handle Suite";
inline constexpr int32_t kPFHandleSuiteVersion1 = 2;  // 2 despite the name
inline constexpr char kPFWorldSuite[] = "PF World Suite";
inline constexpr int32_t kPFWorldSuiteVersion2 = 2;
inline constexpr char kAEGPUtilitySuite[] = "AEGP Utility Suite";
inline constexpr int32_t kAEGPUtilitySuiteVersion3 = 7;
inline constexpr char kAEGPPFInterfaceSuite[] = "AEGP PF Interface Suite";
inline constexpr int32_t kAEGPPFInterfaceSuiteVersion1 = 1;
inline constexpr char kAEGPEffectSuite[] = "AEGP Effect Suite";
inline constexpr int32_t kAEGPEffectSuiteVersion4 = 4;
inline constexpr char kAEGPStreamSuite[] = "AEGP Stream Suite";
inline constexpr int32_t kAEGPStreamSuiteVersion5 = 10;
inline constexpr char kAEGPDynamicStreamSuite[] = "AEGP Dynamic Stream Suite";
inline constexpr int32_t kAEGPDynamicStreamSuiteVersion4 = 5;

// --- basic suite (handed over in PF_InData.pica_basicP) -----------------------------
struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPErr (*Undefined)();
};
static_assert(sizeof(SPBasicSuite) == 56 && offsetof(SPBasicSuite, AcquireSuite) == 0 &&
              offsetof(SPBasicSuite, ReleaseSuite) == 8 && offsetof(SPBasicSuite, Undefined) == 48);

// --- PF suites -----------------------------------------------------------------------
// Handles return null when the host is out of memory.
struct PF_HandleSuite1 {
    PF_Handle (*host_new_handle)(A_HandleSize size);
    void* (*host_lock_handle)(PF_Handle pf_handle);
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
    PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handlePH);
};
static_assert(sizeof(PF_HandleSuite1) == 48 && offsetof(PF_HandleSuite1, host_new_handle) == 0 &&
              offsetof(PF_HandleSuite1, host_lock_handle) == 8 && offsetof(PF_HandleSuite1, host_unlock_handle) == 16 &&
              offsetof(PF_HandleSuite1, host_dispose_handle) == 24);

struct PF_WorldSuite2 {
    PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL, PF_Boolean clear_pixB,
                          PF_PixelFormat pixel_format, PF_EffectWorld* worldP);
    PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* worldP);
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* worldP, PF_PixelFormat* pixel_formatP);
};
static_assert(sizeof(PF_WorldSuite2) == 24 && offsetof(PF_WorldSuite2, PF_NewWorld) == 0 &&
              offsetof(PF_WorldSuite2, PF_DisposeWorld) == 8 && offsetof(PF_WorldSuite2, PF_GetPixelFormat) == 16);

// "PF ANSI Suite" 1 is PF_ANSICallbacksSuite1 (HostRecords.h), shared with the util callbacks.

// --- AEGP suites ---------------------------------------------------------------------------
struct AEGP_UtilitySuite3 {
    A_Err (*AEGP_ReportInfo)(AEGP_PluginID aegp_plugin_id, const A_char* info_stringZ);
    A_Err (*AEGP_GetDriverPluginInitFuncVersion)(A_short* major_versionPS, A_short* minor_versionPS);
    A_Err (*AEGP_GetDriverImplementationVersion)(A_short* major_versionPS, A_short* minor_versionPS);
    A_Err (*AEGP_StartQuietErrors)(AEGP_ErrReportState* err_stateP);
    A_Err (*AEGP_EndQuietErrors)(A_Boolean report_quieted_errorsB, AEGP_ErrReportState* err_stateP);
    A_Err (*AEGP_StartUndoGroup)(const A_char* undo_nameZ);
    A_Err (*AEGP_EndUndoGroup)();
    A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_nameZ,
                                   AEGP_PluginID* plugin_id);
    void* reserved[17];  // AEGP_GetMainHWND … AEGP_WriteToDebugLog
};
static_assert(sizeof(AEGP_UtilitySuite3) == 200 && offsetof(AEGP_UtilitySuite3, AEGP_RegisterWithAEGP) == 56);

struct AEGP_PFInterfaceSuite1 {
    A_Err (*AEGP_GetEffectLayer)(PF_ProgPtr effect_pp_ref, AEGP_LayerH* layerPH);
    A_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID aegp_plugin_id, PF_ProgPtr effect_pp_ref,
                                        AEGP_EffectRefH* effect_refPH);
    A_Err (*AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_pp_ref, A_long what_timeL, A_u_long time_scaleLu,
                                          A_Time* comp_timePT);
    A_Err (*AEGP_GetEffectCamera)(PF_ProgPtr effect_pp_ref, const A_Time* comp_timePT, AEGP_LayerH* camera_layerPH);
    void* AEGP_GetEffectCameraMatrix;
};
static_assert(sizeof(AEGP_PFInterfaceSuite1) == 40 &&
              offsetof(AEGP_PFInterfaceSuite1, AEGP_GetNewEffectForEffect) == 8);

struct AEGP_EffectSuite4 {
    A_Err (*AEGP_GetLayerNumEffects)(AEGP_LayerH layerH, A_long* num_effectsPL);
    A_Err (*AEGP_GetLayerEffectByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH,
                                        AEGP_EffectIndex layer_effect_indexL, AEGP_EffectRefH* effectPH);
    A_Err (*AEGP_GetInstalledKeyFromLayerEffect)(AEGP_EffectRefH effect_refH,
                                                 AEGP_InstalledEffectKey* installed_effect_keyP);
    A_Err (*AEGP_GetEffectParamUnionByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_EffectRefH effect_refH,
                                             PF_ParamIndex param_index, PF_ParamType* param_typeP,
                                             PF_ParamDefUnion* uP0);
    A_Err (*AEGP_GetEffectFlags)(AEGP_EffectRefH effect_refH, AEGP_EffectFlags* effect_flagsP);
    A_Err (*AEGP_SetEffectFlags)(AEGP_EffectRefH effect_refH, AEGP_EffectFlags effect_flags_set_mask,
                                 AEGP_EffectFlags effect_flags);
    A_Err (*AEGP_ReorderEffect)(AEGP_EffectRefH effect_refH, A_long effect_indexL);
    A_Err (*AEGP_EffectCallGeneric)(AEGP_PluginID aegp_plugin_id, AEGP_EffectRefH effect_refH, const A_Time* timePT,
                                    PF_Cmd effect_cmd, void* effect_extraPV);
    A_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH effect_refH);
    void* reserved[13];
};
static_assert(sizeof(AEGP_EffectSuite4) == 176 && offsetof(AEGP_EffectSuite4, AEGP_DisposeEffect) == 64);

struct AEGP_StreamSuite5 {
    A_Err (*AEGP_IsStreamLegal)(AEGP_LayerH layerH, AEGP_LayerStream which_stream, A_Boolean* is_legalP);
    A_Err (*AEGP_CanVaryOverTime)(AEGP_StreamRefH streamH, A_Boolean* can_varyPB);
    A_Err (*AEGP_GetValidInterpolations)(AEGP_StreamRefH streamH, AEGP_KeyInterpolationMask* valid_interpolationsP);
    A_Err (*AEGP_GetNewLayerStream)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH, AEGP_LayerStream which_stream,
                                    AEGP_StreamRefH* streamPH);
    A_Err (*AEGP_GetEffectNumParamStreams)(AEGP_EffectRefH effect_refH, A_long* num_paramsPL);
    A_Err (*AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_EffectRefH effect_refH,
                                            PF_ParamIndex param_index, AEGP_StreamRefH* streamPH);
    A_Err (*AEGP_GetNewMaskStream)(AEGP_PluginID aegp_plugin_id, AEGP_MaskRefH mask_refH, AEGP_MaskStream which_stream,
                                   AEGP_StreamRefH* mask_streamPH);
    A_Err (*AEGP_DisposeStream)(AEGP_StreamRefH streamH);
    void* reserved[14];
};
static_assert(sizeof(AEGP_StreamSuite5) == 176 && offsetof(AEGP_StreamSuite5, AEGP_GetNewEffectStreamByIndex) == 40 &&
              offsetof(AEGP_StreamSuite5, AEGP_DisposeStream) == 56);

struct AEGP_DynamicStreamSuite4 {
    A_Err (*AEGP_GetNewStreamRefForLayer)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH, AEGP_StreamRefH* streamPH);
    A_Err (*AEGP_GetNewStreamRefForMask)(AEGP_PluginID aegp_plugin_id, AEGP_MaskRefH maskH, AEGP_StreamRefH* streamPH);
    A_Err (*AEGP_GetStreamDepth)(AEGP_StreamRefH streamH, A_long* depthPL);
    A_Err (*AEGP_GetStreamGroupingType)(AEGP_StreamRefH streamH, AEGP_StreamGroupingType* group_typeP);
    A_Err (*AEGP_GetNumStreamsInGroup)(AEGP_StreamRefH streamH, A_long* num_streamsPL);
    A_Err (*AEGP_GetDynamicStreamFlags)(AEGP_StreamRefH streamH, AEGP_DynStreamFlags* stream_flagsP);
    A_Err (*AEGP_SetDynamicStreamFlag)(AEGP_StreamRefH streamH, AEGP_DynStreamFlags one_flag, A_Boolean undoableB,
                                       A_Boolean setB);
    void* reserved[19];
};
static_assert(sizeof(AEGP_DynamicStreamSuite4) == 208 &&
              offsetof(AEGP_DynamicStreamSuite4, AEGP_SetDynamicStreamFlag) == 48);
