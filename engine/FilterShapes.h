// The small pieces of filter arithmetic that the processor pipeline and the
// OpenCL path must compute identically: sigma sanitising, the Gaussian table's
// length and coefficients, the box window, the row mirror.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace maculo {

// Far above anything the controls produce (Width 200 at full resolution gives
// about 70.5); keeps table lengths and window sizes well inside int range.
inline constexpr float kMaxSigma = 2000.0f;

// NaN, infinite and negative widths would reach float-to-int conversions;
// they count as 0. Oversized ones are bounded.
inline float SanitizeSigma(float sigma) {
    if (!(sigma > 0.0f) || std::isinf(sigma)) return 0.0f;  // also catches NaN
    return sigma < kMaxSigma ? sigma : kMaxSigma;
}

struct GaussianTableShape {
    int32_t taps;  // odd, >= 7
    float coef1;
    float coef2;
};

// Length and coefficients of the Gaussian weight table, every operation
// rounded to single precision on its own. The sigma is sanitised here too, so
// no caller can reach the float-to-int conversion with NaN or infinity.
inline GaussianTableShape ShapeGaussianTable(float sigma) {
    sigma = SanitizeSigma(sigma);
    const float scaled = sigma * -9.0f;
    const int32_t t = static_cast<int32_t>(scaled * 0.5f);
    int32_t taps = 1 - 2 * t;
    if (taps < 7) taps = 7;

    float coef1 = 1.0f / std::sqrt(sigma * 6.2831855f);
    if (coef1 > 1.0f) coef1 = 1.0f;

    float coef2 = -1.0f / ((sigma + sigma) * sigma);
    if (coef2 < -3.4028235e38f) coef2 = -3.4028235e38f;
    return {taps, coef1, coef2};
}

// Entry i of a table of the given shape. The exponential is evaluated in
// double and rounded once, which gives the correctly rounded single result
// (C libraries disagree in the last bit of expf).
inline float GaussianWeight(int32_t i, const GaussianTableShape& shape) {
    const int32_t d = i - shape.taps / 2;
    const float x = static_cast<float>(d * d) * shape.coef2;
    const float e = static_cast<float>(std::exp(static_cast<double>(x)));
    return e * shape.coef1;
}

// Box window of width a (3 * sigma): k whole pixels, h on each side of the
// centre, and the next pixel on each side at weight f.
struct BoxWindow {
    int32_t k;
    int32_t h;
    float f;
};

inline constexpr float kMaxBoxWidth = 3.0f * kMaxSigma;

// A NaN, infinite or negative width counts as 0, an oversized one is bounded,
// for the same reason as SanitizeSigma.
inline BoxWindow ShapeBoxWindow(float a) {
    if (!(a > 0.0f) || std::isinf(a)) a = 0.0f;
    if (a > kMaxBoxWidth) a = kMaxBoxWidth;
    const int32_t k = 1 - 2 * static_cast<int32_t>(a * -0.5f);
    const float half = a * 0.5f;
    return {k, k / 2, half - std::floor(half)};
}

// Reflects p into 0 ... last without repeating the edge pixel, reflecting
// again for rows shorter than the filter's reach so no read leaves the row.
// Single reflections, the common case at the ends of normal rows, avoid the
// division.
inline int32_t MirrorIndex(int32_t p, int32_t last) {
    if (last <= 0) return 0;
    const int32_t period = 2 * last;
    int32_t q = std::abs(p);
    if (q > period) q %= period;
    return q > last ? period - q : q;
}

}  // namespace maculo
