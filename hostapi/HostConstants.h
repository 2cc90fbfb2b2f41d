// Numbers of the host's effect interface: commands, error codes, flags,
// pixel formats, parameter types and the version packing.
#pragma once

#include "hostapi/HostTypes.h"

// --- commands (PF_Cmd) -------------------------------------------------------
inline constexpr PF_Cmd PF_Cmd_ABOUT = 0;
inline constexpr PF_Cmd PF_Cmd_GLOBAL_SETUP = 1;
inline constexpr PF_Cmd PF_Cmd_UNUSED_0 = 2;
inline constexpr PF_Cmd PF_Cmd_GLOBAL_SETDOWN = 3;
inline constexpr PF_Cmd PF_Cmd_PARAMS_SETUP = 4;
inline constexpr PF_Cmd PF_Cmd_SEQUENCE_SETUP = 5;
inline constexpr PF_Cmd PF_Cmd_SEQUENCE_RESETUP = 6;
inline constexpr PF_Cmd PF_Cmd_SEQUENCE_FLATTEN = 7;
inline constexpr PF_Cmd PF_Cmd_SEQUENCE_SETDOWN = 8;
inline constexpr PF_Cmd PF_Cmd_DO_DIALOG = 9;
inline constexpr PF_Cmd PF_Cmd_FRAME_SETUP = 10;
inline constexpr PF_Cmd PF_Cmd_RENDER = 11;
inline constexpr PF_Cmd PF_Cmd_FRAME_SETDOWN = 12;
inline constexpr PF_Cmd PF_Cmd_USER_CHANGED_PARAM = 13;
inline constexpr PF_Cmd PF_Cmd_UPDATE_PARAMS_UI = 14;
inline constexpr PF_Cmd PF_Cmd_EVENT = 15;
inline constexpr PF_Cmd PF_Cmd_SMART_PRE_RENDER = 23;
inline constexpr PF_Cmd PF_Cmd_SMART_RENDER = 24;
inline constexpr PF_Cmd PF_Cmd_SMART_RENDER_GPU = 31;
inline constexpr PF_Cmd PF_Cmd_GPU_DEVICE_SETUP = 32;
inline constexpr PF_Cmd PF_Cmd_GPU_DEVICE_SETDOWN = 33;
inline constexpr PF_Cmd PF_Cmd_NUM_CMDS = 34;

// --- error codes ---------------------------------------------------------------
inline constexpr PF_Err PF_Err_NONE = 0;
inline constexpr PF_Err PF_Err_OUT_OF_MEMORY = 4;
inline constexpr PF_Err PF_Err_INTERNAL_STRUCT_DAMAGED = 512;
inline constexpr PF_Err PF_Err_INVALID_INDEX = 513;
inline constexpr PF_Err PF_Err_UNRECOGNIZED_PARAM_TYPE = 514;
inline constexpr PF_Err PF_Err_INVALID_CALLBACK = 515;
inline constexpr PF_Err PF_Err_BAD_CALLBACK_PARAM = 516;
inline constexpr PF_Err PF_Interrupt_CANCEL = 517;
inline constexpr A_Err A_Err_NONE = 0;
inline constexpr A_Err A_Err_GENERIC = 1;
inline constexpr A_Err A_Err_STRUCT = 2;
inline constexpr A_Err A_Err_PARAMETER = 3;
inline constexpr A_Err A_Err_ALLOC = 4;
inline constexpr A_Err A_Err_MISSING_SUITE = 13;

// --- output flags ----------------------------------------------------------------
inline constexpr PF_OutFlags PF_OutFlag_NONE = 0;
inline constexpr PF_OutFlags PF_OutFlag_DISPLAY_ERROR_MESSAGE = 0x100;
inline constexpr PF_OutFlags PF_OutFlag_DEEP_COLOR_AWARE = 0x2000000;
inline constexpr PF_OutFlags PF_OutFlag_SEND_UPDATE_PARAMS_UI = 0x4000000;

inline constexpr PF_OutFlags2 PF_OutFlag2_NONE = 0;
inline constexpr PF_OutFlags2 PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG = 0x8;
inline constexpr PF_OutFlags2 PF_OutFlag2_SUPPORTS_SMART_RENDER = 0x400;
inline constexpr PF_OutFlags2 PF_OutFlag2_FLOAT_COLOR_AWARE = 0x1000;
inline constexpr PF_OutFlags2 PF_OutFlag2_SUPPORTS_GPU_RENDER_F32 = 0x2000000;
inline constexpr PF_OutFlags2 PF_OutFlag2_SUPPORTS_THREADED_RENDERING = 0x8000000;

inline constexpr PF_RenderOutputFlags PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS = 0x1;
inline constexpr PF_RenderOutputFlags PF_RenderOutputFlag_GPU_RENDER_POSSIBLE = 0x2;

// --- pixel formats: four characters in memory order, "argb", "ae16", "ae32" --
inline constexpr PF_PixelFormat PF_PixelFormat_ARGB32 = 0x62677261;
inline constexpr PF_PixelFormat PF_PixelFormat_ARGB64 = 0x36316561;
inline constexpr PF_PixelFormat PF_PixelFormat_ARGB128 = 0x32336561;
inline constexpr PF_PixelFormat PF_PixelFormat_INVALID = 0x66646162;
inline constexpr A_long PF_MAX_CHAN8 = 255;
inline constexpr A_long PF_MAX_CHAN16 = 32768;

// --- GPU frameworks --------------------------------------------------------------
inline constexpr PF_GPU_Framework PF_GPU_Framework_NONE = 0;
inline constexpr PF_GPU_Framework PF_GPU_Framework_OPENCL = 1;
inline constexpr PF_GPU_Framework PF_GPU_Framework_METAL = 2;
inline constexpr PF_GPU_Framework PF_GPU_Framework_CUDA = 3;
inline constexpr PF_GPU_Framework PF_GPU_Framework_DIRECTX = 4;

// --- parameters -------------------------------------------------------------------
inline constexpr PF_ParamType PF_Param_LAYER = 0;
inline constexpr PF_ParamType PF_Param_SLIDER = 1;
inline constexpr PF_ParamType PF_Param_POPUP = 7;
inline constexpr PF_ParamType PF_Param_FLOAT_SLIDER = 10;
inline constexpr PF_ParamType PF_Param_GROUP_START = 13;
inline constexpr PF_ParamType PF_Param_GROUP_END = 14;

inline constexpr PF_ParamIndex PF_ParamIndex_NONE = -1;  // add_param: append

inline constexpr PF_ParamFlags PF_ParamFlag_CANNOT_TIME_VARY = 0x2;
inline constexpr PF_ParamFlags PF_ParamFlag_CANNOT_INTERP = 0x4;
inline constexpr PF_ParamFlags PF_ParamFlag_COLLAPSE_TWIRLY = 0x20;
inline constexpr PF_ParamFlags PF_ParamFlag_START_COLLAPSED = PF_ParamFlag_COLLAPSE_TWIRLY;
inline constexpr PF_ParamFlags PF_ParamFlag_SUPERVISE = 0x40;
inline constexpr PF_ParamFlags PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN = 0x200;

inline constexpr PF_ParamUIFlags PF_PUI_NONE = 0;
inline constexpr PF_ParamUIFlags PF_PUI_DISABLED = 0x20;
inline constexpr PF_ParamUIFlags PF_PUI_INVISIBLE = 0x200;

inline constexpr PF_Precision PF_Precision_INTEGER = 0;
inline constexpr PF_Precision PF_Precision_TENTHS = 1;
inline constexpr PF_Precision PF_Precision_HUNDREDTHS = 2;
inline constexpr PF_ValueDisplayFlags PF_ValueDisplayFlag_NONE = 0;
inline constexpr PF_FSliderFlags PF_FSliderFlag_NONE = 0;

inline constexpr A_long PF_MAX_EFFECT_PARAM_NAME_LEN = 31;  // name buffers hold 32
inline constexpr A_long PF_MAX_EFFECT_MSG_LEN = 255;        // return_msg holds 256

// --- AEGP ---------------------------------------------------------------------------
inline constexpr AEGP_DynStreamFlags AEGP_DynStreamFlag_ACTIVE_EYEBALL = 0x1;
inline constexpr AEGP_DynStreamFlags AEGP_DynStreamFlag_HIDDEN = 0x2;
inline constexpr AEGP_DynStreamFlags AEGP_DynStreamFlag_DISABLED = 0x10;

// --- registration -------------------------------------------------------------------
// Last argument of the registration callback.
inline constexpr A_long AE_RESERVED_INFO = 8;

// --- version packing -------------------------------------------------------------------
inline constexpr A_long PF_Stage_DEVELOP = 0;
inline constexpr A_long PF_Stage_ALPHA = 1;
inline constexpr A_long PF_Stage_BETA = 2;
inline constexpr A_long PF_Stage_RELEASE = 3;

// Packs a version the host's way; versions above 7 carry their high bits at 26.
constexpr A_u_long PF_Version(A_u_long version, A_u_long subversion, A_u_long bugfix, A_u_long stage, A_u_long build) {
    return ((version >> 3 & 0xF) << 26) | ((version & 0x7) << 19) | ((subversion & 0xF) << 15) |
           ((bugfix & 0xF) << 11) | ((stage & 0x3) << 9) | (build & 0x1FF);
}
static_assert(PF_Version(1, 1, 0, PF_Stage_RELEASE, 1) == 0x88601);

namespace maculo {

// A four-character code as the host compares it: the first character is the
// most significant byte ("PrMr" is 0x50724D72).
constexpr A_long FourCharCode(const char (&code)[5]) {
    return static_cast<A_long>(static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24 |
                               static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16 |
                               static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8 |
                               static_cast<uint32_t>(static_cast<uint8_t>(code[3])));
}
static_assert(FourCharCode("PrMr") == 0x50724D72 && FourCharCode("eFKT") == 0x65464B54);

// Application id of the host's video-editing variant, which has no AEGP layer.
inline constexpr A_AppID kPremiereAppId = FourCharCode("PrMr");
// Kind code of an effect, passed to the registration callback.
inline constexpr A_long kEffectKind = FourCharCode("eFKT");

}  // namespace maculo
