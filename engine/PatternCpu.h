// The processor implementation of the pattern iteration.
#pragma once

#include <cstdint>

#include "engine/PatternTypes.h"

namespace maculo {

struct BlurKernelSet;
class PatternWorkspace;

// Runs the whole iteration on three distinct pitch x height working images:
// `input` holds the picture on entry and is used as scratch, `blurred` is
// scratch, `pattern` receives the result in the first width pixels of every
// row. Stops at once when the progress callback returns non-zero. Never throws.
// With a workspace, the threads' scratch is kept in it for the next call
// (one call at a time per workspace); without, it is made for this call.
PatternResult RunPatternCpu(PixelF* input, PixelF* blurred, PixelF* pattern, const ImageDims& dims,
                            const PatternSettings& settings, const ProgressHook& hook,
                            PatternWorkspace* workspace = nullptr) noexcept;

// The same with the given blur kernels instead of the widest this processor
// runs, so that every instruction set can be checked and timed.
PatternResult RunPatternCpuWith(const BlurKernelSet& kernels, PixelF* input, PixelF* blurred, PixelF* pattern,
                                const ImageDims& dims, const PatternSettings& settings, const ProgressHook& hook,
                                PatternWorkspace* workspace = nullptr) noexcept;

}  // namespace maculo
