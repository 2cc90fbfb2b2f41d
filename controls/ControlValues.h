// The controls' values indexed by number, and the engine's record of them.
#pragma once

#include <array>

#include "controls/ControlTable.h"
#include "engine/ControlSettings.h"

namespace maculo {

// Group markers and the input layer stay 0.
using ParamValues = std::array<double, kParamCount>;

constexpr ParamValues DefaultValues() {
    ParamValues values{};
    for (const Control& control : kControls) values[control.index] = control.defaultValue;
    return values;
}

constexpr PatternControls PatternControlsOf(const ParamValues& v) {
    return PatternControls{int32_t(v[kParamMode]), int32_t(v[kParamBlur]),  int32_t(v[kParamGray]),
                           v[kParamWidth],         v[kParamBlurRadius],     v[kParamSharpRadius],
                           v[kParamSharpen],       int32_t(v[kParamAmount])};
}

}  // namespace maculo
