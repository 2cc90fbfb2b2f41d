// The frame and controls both benchmarks time: full HD noise, and the
// settings "Width" and "Amount" give at full resolution.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "engine/PatternTypes.h"

namespace maculo::bench {

inline constexpr ImageDims kFullHd{1920, 1080, 1920};

// Noise, the same on every call: opaque, or with alpha varying too.
inline std::vector<PixelF> Noise(const ImageDims& dims, bool opaque = true) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> channel(0.0f, 1.0f);
    std::vector<PixelF> image(static_cast<size_t>(dims.pitch) * dims.height);
    for (PixelF& p : image) p = {opaque ? 1.0f : channel(rng), channel(rng), channel(rng), channel(rng)};
    return image;
}

// "Width" w sets both sigmas to w / 2.8368 at full resolution; "Amount" 32
// gives the unsharp mask a gain of 20.02654.
inline PatternSettings Controls(int32_t blurMode, float width, int32_t iterations, int32_t grayMode = kGrayOff) {
    const float sigma = width / 2.8368f;
    return {blurMode, grayMode, iterations, sigma, sigma, 20.02654f, false};
}

}  // namespace maculo::bench
