// The effect's controls as the command line sets them: their values across a
// sequence.
#pragma once

#include <array>
#include <cstdint>

#include "controls/ControlValues.h"

namespace maculo {

// A value that moves linearly from start on the first frame to end on the last.
struct Ramp {
    double start;
    double end;
};

// Every parameter's value as a ramp, indexed by parameter; group markers and
// the layer stay 0.
using ControlRamps = std::array<Ramp, kParamCount>;

ControlRamps DefaultControls();

// The values of frame `frame` (0-based) of `frames`; whole-number controls are
// rounded to the nearest integer.
ParamValues ControlsAt(const ControlRamps& ramps, int32_t frame, int32_t frames);

}  // namespace maculo
