// Sets the effect's controls in our host from the engine's record of them.
#pragma once

#include "engine/ControlSettings.h"
#include "minihost/Interact.h"
#include "plugin/ControlTable.h"

namespace maculo::test {

inline void SetControls(minihost::Interact& params, const PatternControls& c) {
    params.SetValue(kParamMode, c.parameterMode);
    params.SetValue(kParamBlur, c.blurMode);
    params.SetValue(kParamGray, c.grayMode);
    params.SetValue(kParamWidth, c.width);
    params.SetValue(kParamBlurRadius, c.blurRadius);
    params.SetValue(kParamSharpRadius, c.sharpRadius);
    params.SetValue(kParamSharpen, c.sharpen);
    params.SetValue(kParamAmount, c.amount);
}

}  // namespace maculo::test
