// The controls' values indexed by parameter, and the engine's record of them.
#pragma once

#include <array>

#include "engine/ControlSettings.h"
#include "plugin/ControlTable.h"

namespace maculo {

using ParamValues = std::array<double, kParamCount>;

constexpr PatternControls PatternControlsOf(const ParamValues& v) {
    return PatternControls{int32_t(v[kParamMode]), int32_t(v[kParamBlur]),  int32_t(v[kParamGray]),
                           v[kParamWidth],         v[kParamBlurRadius],     v[kParamSharpRadius],
                           v[kParamSharpen],       int32_t(v[kParamAmount])};
}

}  // namespace maculo
