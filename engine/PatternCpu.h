// The processor implementation of the pattern iteration.
#pragma once

#include <cstdint>

#include "engine/PatternTypes.h"

namespace maculo {

// Runs the whole iteration on three distinct pitch x height working images:
// `input` holds the picture on entry and is used as scratch, `blurred` is
// scratch, `pattern` receives the result in the first width pixels of every
// row. Returns kPatternOk, the progress callback's non-zero value (the call
// then stops at once), kPatternOutOfMemory when a weight table cannot be
// allocated, or kPatternBadDims for unusable geometry. Never throws.
int32_t RunPatternCpu(PixelF* input, PixelF* blurred, PixelF* pattern, const ImageDims& dims,
                      const PatternSettings& settings, const ProgressHook& hook) noexcept;

struct BlurKernelSet;

// The same with the given blur kernels instead of the widest this processor
// runs, so that every instruction set can be checked and timed.
int32_t RunPatternCpuWith(const BlurKernelSet& kernels, PixelF* input, PixelF* blurred,
                          PixelF* pattern, const ImageDims& dims, const PatternSettings& settings,
                          const ProgressHook& hook) noexcept;

}  // namespace maculo
