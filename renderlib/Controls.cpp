#include "renderlib/Controls.h"

#include <cmath>

namespace maculo {

ControlRamps DefaultControls() {
    const ParamValues defaults = DefaultValues();
    ControlRamps ramps{};
    for (size_t i = 0; i < ramps.size(); ++i) ramps[i] = {defaults[i], defaults[i]};
    return ramps;
}

ParamValues ControlsAt(const ControlRamps& ramps, int32_t frame, int32_t frames) {
    const double t = frames > 1 ? double(frame) / double(frames - 1) : 0.0;
    ParamValues values{};
    // std::lerp hits both ends exactly, so a ramp never leaves its range.
    for (int32_t i = 0; i < kParamCount; ++i) values[i] = std::lerp(ramps[i].start, ramps[i].end, t);
    for (const Control& row : kControls)
        if (row.kind == ControlKind::kWholeNumber) values[row.index] = std::round(values[row.index]);
    return values;
}

}  // namespace maculo
