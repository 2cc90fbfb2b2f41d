#include "engine/ControlSettings.h"

#include <cmath>
#include <limits>

namespace maculo {
namespace {

// Slider values arrive as doubles; one outside float's range would make the
// conversion undefined, so it is bounded first. NaN passes through.
float ToSingle(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) return std::numeric_limits<float>::max();
    if (v < -kMax) return -std::numeric_limits<float>::max();
    return static_cast<float>(v);
}

// Radius control to a standard deviation at the frame's resolution.
float SigmaFromRadius(double radius, float downsample) { return (ToSingle(radius) / 2.8368f) / downsample; }

// Simple mode's unsharp-mask gain: 1.1^(amount x 0.32), capped at 8000. The
// power is computed in double and rounded once, which gives the correctly
// rounded single result (C libraries disagree in the last bit of powf).
float SimpleGain(int32_t amount) {
    const float exponent = static_cast<float>(amount) * 0.32f;
    const float p = static_cast<float>(std::pow(static_cast<double>(1.1f), static_cast<double>(exponent)));
    const float m = p <= 8000.0f ? p : 8000.0f;
    return (m + 2000.0f) / 100.0f;
}

}  // namespace

PatternSettings SettingsFromControls(const PatternControls& controls, uint32_t downsample, bool useGpu) {
    const float d = downsample == 0 ? 1.0f : static_cast<float>(downsample);
    PatternSettings s{};
    s.blurMode = controls.blurMode;
    s.grayMode = controls.grayMode;
    s.iterations = controls.amount;
    s.useGpu = useGpu;
    if (controls.parameterMode == kModeSimple) {
        s.blurSigma = SigmaFromRadius(controls.width, d);
        s.sharpenSigma = s.blurSigma;
        s.sharpenAmount = SimpleGain(controls.amount);
    } else {
        s.blurSigma = SigmaFromRadius(controls.blurRadius, d);
        s.sharpenSigma = SigmaFromRadius(controls.sharpRadius, d);
        s.sharpenAmount = ToSingle(controls.sharpen) / 100.0f;
    }
    return s;
}

}  // namespace maculo
