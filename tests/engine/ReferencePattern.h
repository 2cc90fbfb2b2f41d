// A plainly written, scalar, single-threaded model of the processor pattern
// pipeline, channel by channel, straight from the formulas: the yardstick the
// optimised engine must match bit for bit. It filters columns directly instead
// of turning the image, and models only the visible pixels, not progress.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/BlurKernels.h"
#include "engine/PatternTypes.h"

namespace maculo::reference {

// The visible width x height pixels of the result, packed without padding.
std::vector<PixelF> RunPattern(const PixelF* input, const ImageDims& dims, const PatternSettings& settings);

// The model's steps one by one, for checking the device's kernels.

// The Gaussian weight table for a sigma that is finite and 0 ... 2000.
std::vector<float> WeightTable(float sigma);

// The first rows.width pixels of each row blurred along the row, channel by
// channel: with the box of width a, or with a weight table. Other pixels are
// copied.
std::vector<PixelF> BoxRows(const std::vector<PixelF>& image, const ImageDims& rows, float a);
std::vector<PixelF> GaussianRows(const std::vector<PixelF>& image, const ImageDims& rows,
                                 const std::vector<float>& table);

// One channel of the unsharp mask: clamp((sharp - blurred) * amount + sharp).
float Unsharp(float sharp, float blurred, float amount);

// A pitch x height image of channels in [-0.25, 1.25) (some outside 0...1, so
// the clamp matters), spare columns filled with `spare`.
std::vector<PixelF> RandomImage(const ImageDims& dims, uint32_t seed, float spare = 0.5f);

// True when the visible pixels of `image` have exactly the bits of `packed`.
bool SameVisibleBits(const PixelF* image, const ImageDims& dims, const std::vector<PixelF>& packed);

// The engine's kernels of every instruction set this processor runs, to
// check each against the model.
std::vector<const BlurKernelSet*> RunnableKernels();

}  // namespace maculo::reference
