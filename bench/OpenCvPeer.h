// The pattern iteration written the way an experienced OpenCV user would:
// library blurs with mirrored borders, addWeighted for the unsharp mask, a
// clamp, each step spread over row bands with cv::parallel_for_. It is a
// yardstick for speed, not for bits: OpenCV normalises its kernels and may
// fuse multiply-adds.
#pragma once

#include <cstdint>

#include "engine/PatternTypes.h"

namespace maculo::bench {

// Copies `input` into `pattern`, then runs settings.iterations iterations on
// it with `blurred` and `sharpened` as scratch; all pitch x height pixels of
// `channels` floats (4, or 1 for a plane). Threads: cv::setNumThreads
// decides.
void RunOpenCvPeer(const float* input, float* blurred, float* sharpened, float* pattern, int channels,
                   const ImageDims& dims, const PatternSettings& settings);

}  // namespace maculo::bench
