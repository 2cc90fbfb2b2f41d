// The built-in picture: uniform noise, 8 bits per channel, red, green, blue.
#pragma once

#include <cstdint>

#include "renderlib/FrameImage.h"

namespace maculo {

// Writes red, green and blue of width x height pixels, the first at
// `pixels`, each `pixelBytes` after the one before (other bytes stay as they
// are). Each pixel comes from a hash of the seed and its place alone, so the
// picture is the same on every machine, and a full-size one takes
// milliseconds.
void FillNoise(uint8_t* pixels, int32_t pixelBytes, int32_t width, int32_t height, int32_t seed);

// The noise as an 8-bit host frame, opaque, as reading it from a file would give.
FrameImage NoiseFrame(int32_t width, int32_t height, int32_t seed);

}  // namespace maculo
