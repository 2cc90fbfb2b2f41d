#include "Controls.h"

#include <cmath>

namespace maculo {

ControlRamps DefaultControls() {
    ControlRamps ramps{};
    for (const NumericControl& c : kNumericControls) ramps[c.param] = {c.dephault, c.dephault};
    for (const ChoiceControl& c : kChoiceControls) ramps[c.param] = {double(c.dephault), double(c.dephault)};
    return ramps;
}

ControlValues ControlsAt(const ControlRamps& ramps, int32_t frame, int32_t frames) {
    const double t = frames > 1 ? double(frame) / double(frames - 1) : 0.0;
    ControlValues values{};
    // std::lerp hits both ends exactly, so a ramp never leaves its range.
    for (int32_t i = 0; i < kParamCount; ++i) values[i] = std::lerp(ramps[i].start, ramps[i].end, t);
    for (const NumericControl& c : kNumericControls)
        if (c.whole) values[c.param] = std::round(values[c.param]);
    return values;
}

}  // namespace maculo
