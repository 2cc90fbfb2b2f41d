// One pixel's four channels as one SIMD value: a 16-byte float vector maps to
// an SSE register at baseline x86-64, so per-pixel arithmetic needs no wider
// instruction set. Every lane operation is an ordinary single-precision
// operation, rounded on its own, so results equal plain scalar code bit for bit.
#pragma once

#include <cstring>

#include "engine/PatternTypes.h"

namespace maculo {

using Float4 = float __attribute__((vector_size(16)));

inline Float4 LoadPixel(const PixelF* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void StorePixel(PixelF* p, Float4 v) { std::memcpy(p, &v, sizeof v); }

inline Float4 Splat(float s) { return Float4{s, s, s, s}; }

// Clamp to 0...1 per channel. NaN becomes 0 (as OpenCL's fmin/fmax give), so a
// NaN never survives a blur or the unsharp mask; -0 becomes +0.
inline Float4 Saturate(Float4 v) {
    const Float4 zero{};
    const Float4 one = Splat(1.0f);
    v = v > zero ? v : zero;
    return v < one ? v : one;
}

}  // namespace maculo
