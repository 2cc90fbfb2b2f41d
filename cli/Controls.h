// The effect's controls as the command line names them, with the ranges and
// defaults the plug-in declares for them, and their values across a sequence.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace maculo {

// Parameter indices of the effect; 0 is the input layer, 5, 7, 8 and 11 are
// group markers.
inline constexpr int32_t kParamMode = 1;
inline constexpr int32_t kParamBlur = 2;
inline constexpr int32_t kParamGray = 3;
inline constexpr int32_t kParamWidth = 4;
inline constexpr int32_t kParamBlurRadius = 6;
inline constexpr int32_t kParamSharpRadius = 9;
inline constexpr int32_t kParamSharpen = 10;
inline constexpr int32_t kParamAmount = 12;
inline constexpr int32_t kParamCount = 13;

struct NumericControl {
    std::string_view option;
    int32_t param;
    double min;
    double max;
    double dephault;
    bool whole;  // an integer control: values are whole numbers
};

inline constexpr std::array<NumericControl, 5> kNumericControls{{
    {"width", kParamWidth, 0.0, 200.0, 6.0, false},
    {"blur-radius", kParamBlurRadius, 0.0, 200.0, 6.0, false},
    {"sharp-radius", kParamSharpRadius, 0.0, 200.0, 6.0, false},
    {"sharpen", kParamSharpen, 0.0, 10000.0, 1000.0, false},
    {"amount", kParamAmount, 1.0, 1000.0, 32.0, true},
}};

struct ChoiceControl {
    std::string_view option;
    int32_t param;
    std::array<std::string_view, 3> choices;  // value 1 is the first; empty names unused
    int32_t dephault;
};

inline constexpr std::array<ChoiceControl, 3> kChoiceControls{{
    {"mode", kParamMode, {"simple", "detail", ""}, 1},
    {"blur", kParamBlur, {"box", "gaussian", ""}, 2},
    {"gray", kParamGray, {"off", "before", "after"}, 2},
}};

// A value that moves linearly from start on the first frame to end on the last.
struct Ramp {
    double start;
    double end;
};

// Every parameter's value as a ramp, indexed by parameter; group markers and
// the layer stay 0.
using ControlRamps = std::array<Ramp, kParamCount>;
using ControlValues = std::array<double, kParamCount>;

ControlRamps DefaultControls();

// The values of frame `frame` (0-based) of `frames`; whole-number controls are
// rounded to the nearest integer.
ControlValues ControlsAt(const ControlRamps& ramps, int32_t frame, int32_t frames);

}  // namespace maculo
