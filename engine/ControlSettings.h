// The effect's control values at one frame, and the settings record the
// pipelines work from.
#pragma once

#include <cstdint>

#include "engine/PatternTypes.h"

namespace maculo {

inline constexpr int32_t kModeSimple = 1;  // any other mode value counts as Detail

struct PatternControls {
    int32_t parameterMode;  // 1 Simple, anything else Detail
    int32_t blurMode;       // copied into the settings
    int32_t grayMode;       // copied into the settings
    double width;           // pixels at full resolution (Simple)
    double blurRadius;      // pixels at full resolution (Detail)
    double sharpRadius;     // pixels at full resolution (Detail)
    double sharpen;         // gain in percent (Detail)
    int32_t amount;         // iterations; also the gain in Simple mode
};

// Single-precision arithmetic, each operation rounded on its own.
// downsample is the denominator of the frame's horizontal scale (2 renders at
// half resolution); 0, which no sound host sends, counts as 1.
// Sigmas are not bounded here: the pipelines sanitise them.
PatternSettings SettingsFromControls(const PatternControls& controls, uint32_t downsample, bool useGpu);

}  // namespace maculo
