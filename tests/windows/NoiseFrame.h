// The frames the plug-in check renders: a fixed noise picture in each of the
// host's three depths, and a checksum of what the plug-in wrote.
#pragma once

#include <array>
#include <cstdint>

#include "host/HostApi.h"

namespace maculo::check {

struct Depth {
    int bits;
    PF_PixelFormat format;
    int bytesPerPixel;
};

inline constexpr std::array<Depth, 3> kDepths = {{
    {8, PF_PixelFormat_ARGB32, 4},
    {16, PF_PixelFormat_ARGB64, 8},
    {32, PF_PixelFormat_ARGB128, 16},
}};

// Odd sizes, so that no row or column count is a multiple of a vector width
// or of the thread count.
inline constexpr A_long kFrameWidth = 67;
inline constexpr A_long kFrameHeight = 41;

// Opaque colour noise, the same picture in every depth: each channel is a
// hashed 8-bit value, widened to the depth's full scale.
void FillNoise(PF_EffectWorld& world, const Depth& depth);

// FNV-1a over the picture's bytes, row by row, leaving out row padding.
uint64_t Checksum(const PF_EffectWorld& world, const Depth& depth);

}  // namespace maculo::check
