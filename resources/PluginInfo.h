// What the effect tells the host about itself. The property list and the
// code (registration, global setup) take these from here, because the host
// compares what global setup declares with what the list says.
#pragma once

#include "hostapi/HostConstants.h"
#include "resources/Version.h"

namespace maculo {

inline constexpr char kEffectName[] = "Maculo Pattern";
inline constexpr char kMatchName[] = "QUILLFEN Maculo Pattern";
inline constexpr char kPropertyListCategory[] = "quillfen";
inline constexpr char kRegistrationCategory[] = "Quillfen";
inline constexpr char kEntryPointName[] = "EffectMain";

// The project's version, release, build 1.
inline constexpr A_u_long kPluginVersion = PF_Version(kVersionMajor, kVersionMinor, kVersionPatch, PF_Stage_RELEASE, 1);

// The effect interface version the effect is written against.
inline constexpr A_short kInterfaceVersionMajor = 13;
inline constexpr A_short kInterfaceVersionMinor = 28;

inline constexpr PF_OutFlags kGlobalOutFlags = PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI;
static_assert(kGlobalOutFlags == 0x6000000);

inline constexpr PF_OutFlags2 kGlobalOutFlags2 =
    PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE |
    PF_OutFlag2_SUPPORTS_GPU_RENDER_F32 | PF_OutFlag2_SUPPORTS_THREADED_RENDERING;
static_assert(kGlobalOutFlags2 == 0xA001408);

}  // namespace maculo
