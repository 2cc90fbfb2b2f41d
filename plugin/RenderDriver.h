// Renders one frame: the host's input pixels into a float working image, the
// pattern iteration on the GPU or the processor, the result back into the
// host's output at its depth.
#pragma once

#include "engine/PatternTypes.h"
#include "hostapi/HostApi.h"

namespace maculo {

// `format` is the input world's pixel format, which stands for both worlds.
// Returns 0, or the host code of the first failure; the output is written
// only on success. A missing world suite raises HostError(13).
PF_Err RenderPattern(const PF_InData& in_data, PF_OutData* out_data, PF_PixelFormat format, const PF_EffectWorld& input,
                     PF_EffectWorld& output, const PatternSettings& settings);

}  // namespace maculo
