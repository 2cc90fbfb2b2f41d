// The controls as the host's parameters: the type each kind of control
// becomes, and what only the host keeps of a control, the id projects store
// its value under and its flags.
#pragma once

#include <iterator>

#include "controls/ControlTable.h"
#include "hostapi/HostConstants.h"

namespace maculo {

struct HostParam {
    ControlIndex control;
    // What projects store the value under, so it never changes, even where it
    // looks odd ("Parameter Mode" shares id 3 with "Gray Mode").
    A_long diskId;
    PF_ParamFlags flags;
};

inline constexpr PF_ParamFlags kSkipReveal = PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN;

// clang-format off
inline constexpr HostParam kHostParams[] = {
    {kParamMode,          3,  PF_ParamFlag_SUPERVISE},
    {kParamBlur,          2,  0},
    {kParamGray,          3,  0},
    {kParamWidth,         4,  kSkipReveal},
    {kParamBlurGroup,     5,  kSkipReveal},
    {kParamBlurRadius,    6,  kSkipReveal | PF_ParamFlag_COLLAPSE_TWIRLY},
    {kParamBlurGroupEnd,  7,  kSkipReveal},
    {kParamSharpGroup,    8,  kSkipReveal},
    {kParamSharpRadius,   9,  kSkipReveal | PF_ParamFlag_COLLAPSE_TWIRLY},
    {kParamSharpen,       10, kSkipReveal},
    {kParamSharpGroupEnd, 11, kSkipReveal},
    {kParamAmount,        12, 0},
};
// clang-format on

constexpr bool OneHostParamPerControl() {
    if (std::size(kHostParams) != std::size(kControls)) return false;
    for (size_t i = 0; i < std::size(kControls); ++i)
        if (kHostParams[i].control != kControls[i].index) return false;
    return true;
}
static_assert(OneHostParamPerControl(), "each control has its host parameter, in table order");

constexpr const HostParam& HostParamOf(const Control& control) { return kHostParams[control.index - 1]; }

constexpr PF_ParamType ParamTypeOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::kChoice:
            return PF_Param_POPUP;
        case ControlKind::kNumber:
            return PF_Param_FLOAT_SLIDER;
        case ControlKind::kWholeNumber:
            return PF_Param_SLIDER;
        case ControlKind::kGroupStart:
            return PF_Param_GROUP_START;
        case ControlKind::kGroupEnd:
            return PF_Param_GROUP_END;
    }
    __builtin_unreachable();  // every kind is named above
}

constexpr PF_ParamUIFlags UiFlagsOf(const Control& control) { return ShownAtFirst(control) ? 0 : PF_PUI_INVISIBLE; }

}  // namespace maculo
