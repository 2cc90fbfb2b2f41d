// The pattern iteration on the OpenCL device: one upload, the whole iteration
// on the device, one read-back.
#pragma once

#include "engine/PatternTypes.h"
#include "gpu/GpuState.h"

namespace maculo {

// Computes into result (pitch x height pixels, padding included) what
// RunPatternCpu computes from source. Returns true on success, also for an
// image without pixels, which needs no launch. Returns false, with result in
// an unspecified state, when the state lacks a device, context or built
// program, when the image is too large for the kernels' int indices or has
// inconsistent dimensions, or when any OpenCL call or allocation fails; the
// caller then runs the processor pipeline instead. Safe to call from several
// threads at once on one state: each call makes its own queue, kernel objects
// and buffers.
bool RunPatternGpu(const PixelF* source, PixelF* result, const ImageDims& dims, const PatternSettings& settings,
                   const GpuState& gpu) noexcept;

}  // namespace maculo
