// The image operations the processor pipeline is built from. Each is one
// OpenMP parallel loop with the static schedule and computes per pixel exactly
// what the matching OpenCL kernel computes per work-item, in single precision
// with every operation rounded on its own. Source and destination are distinct
// images unless stated otherwise.
#pragma once

#include <cstdint>

#include "engine/PatternTypes.h"

namespace maculo {

// All pitch x height pixels, spare columns included.
void CopyImage(const PixelF* src, PixelF* dst, const ImageDims& dims);

// The first width pixels of every row.
void CopyVisible(const PixelF* src, PixelF* dst, const ImageDims& dims);

// Gray = (0.298912 red + 0.586611 green) + 0.114478 blue into all three
// colours, alpha kept, no clamp (white becomes 1 + 2^-20). Works in place.
void ConvertToGray(const PixelF* src, PixelF* dst, const ImageDims& dims);

// weight[i] = exp((d * d) * coef2) * coef1 with d = i - length / 2.
void BuildWeightTable(float* table, int32_t length, float coef1, float coef2);

}  // namespace maculo
