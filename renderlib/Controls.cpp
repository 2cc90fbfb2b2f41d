#include "renderlib/Controls.h"

#include <cmath>

namespace maculo {

ControlRamps DefaultControls() {
    ControlRamps ramps{};
    for (const ControlRow& row : kControls) ramps[row.index] = {row.dephault, row.dephault};
    return ramps;
}

ParamValues ControlsAt(const ControlRamps& ramps, int32_t frame, int32_t frames) {
    const double t = frames > 1 ? double(frame) / double(frames - 1) : 0.0;
    ParamValues values{};
    // std::lerp hits both ends exactly, so a ramp never leaves its range.
    for (int32_t i = 0; i < kParamCount; ++i) values[i] = std::lerp(ramps[i].start, ramps[i].end, t);
    for (const ControlRow& row : kControls)
        if (row.type == PF_Param_SLIDER) values[row.index] = std::round(values[row.index]);
    return values;
}

}  // namespace maculo
