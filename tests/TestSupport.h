// What the tests that drive the built plug-in share: its library, loaded as
// a host loads it; its controls set from the engine's record of them; host
// worlds with deterministic pixels and their bytes; and a GPU state on
// whatever OpenCL device the machine has.
#pragma once

#include <cstdint>
#include <vector>

#include "controls/ControlTable.h"
#include "engine/ControlSettings.h"
#include "hostapi/HostApi.h"
#include "minihost/Host.h"
#include "minihost/PluginLibrary.h"

namespace maculo::test {

// Loaded once per test program and never unloaded, as a host keeps its
// plug-ins (so that a leak report can still name the plug-in's functions).
const minihost::PluginLibrary& Plugin();

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

// Points the effect's global data at the GPU tests' state (PoCL's processor
// device where the machine has no GPU), in place of the state global setup
// made, which holds no device there. False when there is no OpenCL device
// or the effect kept no global data; GPU frames then fall back to the processor.
bool UseTestGpu(minihost::Host& host);

inline PF_PixelFormat FormatOfDepth(int depth) {
    return depth == 8 ? PF_PixelFormat_ARGB32 : depth == 16 ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB128;
}

// A host world of 8, 16 or 32 bits whose every byte, padding included,
// follows from `seed`; integer channels stay within the depth's range.
PF_EffectWorld* SeededWorld(minihost::WorldSuite& worlds, A_long width, A_long height, int depth, A_long padding,
                            uint32_t seed);

// Whatever the effect took from the host went back (the global data aside),
// and it broke no rule of the host's.
void ExpectEverythingGivenBack(minihost::Host& host);

// All the world's bytes, padding included.
std::vector<unsigned char> Bytes(const PF_EffectWorld& world);

}  // namespace maculo::test
