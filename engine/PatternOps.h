// The image operations the processor pipeline is built from. Each is one
// OpenMP parallel loop with the static schedule and computes per pixel exactly
// what the matching OpenCL kernel computes per work-item, in single precision
// with every operation rounded on its own. Source and destination are distinct
// images unless stated otherwise.
#pragma once

#include <cstdint>

#include "engine/PatternTypes.h"

namespace maculo {

// Clamp of one channel to 0...1; NaN and -infinity give 0, +infinity 1.
float Saturate(float c);

// All pitch x height pixels, spare columns included.
void CopyImage(const PixelF* src, PixelF* dst, const ImageDims& dims);

// Gray = (0.298912 red + 0.586611 green) + 0.114478 blue into all three
// colours, alpha kept, no clamp (white becomes 1 + 2^-20). Works in place.
void ConvertToGray(const PixelF* src, PixelF* dst, const ImageDims& dims);

// weight[i] = exp((d * d) * coef2) * coef1 with d = i - length / 2.
void BuildWeightTable(float* table, int32_t length, float coef1, float coef2);

// Quarter turn clockwise: pixel (x, y) of a pitch x height image goes to
// row x, column height - 1 - y of an image with rows height pixels long.
void RotateForward(const PixelF* src, PixelF* dst, int32_t pitch, int32_t height);

// The inverse turn, called with the turned image's row length as pitch and
// the original pitch as height: pixel (x, y) goes to row pitch - 1 - x,
// column y of an image with rows height pixels apart.
void RotateBack(const PixelF* src, PixelF* dst, int32_t pitch, int32_t height);

// Row passes walk rows.height rows of rows.width pixels, rows.pitch apart.
// Positions beyond a row end are mirrored back into it (MirrorIndex).

// Box filter of window width a: k whole pixels plus the next pixel on each
// side at weight f, divided by the total weight, clamped.
void BoxRowBlur(const PixelF* src, PixelF* dst, const ImageDims& rows, float a);

// Weighted filter with a table of odd length, divided by the sum of the
// weights, clamped.
void GaussianRowBlur(const PixelF* src, PixelF* dst, const ImageDims& rows,
                     const float* table, int32_t length);

// out = clamp((sharp - blurred) * amount + sharp) over all pitch x height
// pixels.
void UnsharpMask(const PixelF* sharp, const PixelF* blurred, PixelF* dst,
                 const ImageDims& dims, float amount);

}  // namespace maculo
