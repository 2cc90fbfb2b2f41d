// One frame whose every input comes from fuzzer bytes: the eight controls
// (out of range, NaN and infinities included), the downsampling, the sizes of
// layer and output (0 to 64 each way), their row padding and row bytes, the depth, the
// pixel format the host reports, the GPU framework, when the user interrupts,
// and the layer's bytes (NaN and infinities in float frames). It goes through
// EffectMain in our host, and every promise the effect makes is checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace maculo::fuzz {

// Renders the frame the bytes describe; the broken promises, none when all hold.
std::vector<std::string> RunFuzzedFrame(const uint8_t* data, size_t size);

}  // namespace maculo::fuzz
