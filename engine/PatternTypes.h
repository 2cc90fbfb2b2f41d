// Plain types shared by the processor and GPU pipelines and the host shell.
// Nothing here knows about the host.
#pragma once

#include <cstdint>

namespace maculo {

// One working-image pixel: four single-precision channels, alpha first.
struct PixelF {
    float alpha;
    float red;
    float green;
    float blue;
};
static_assert(sizeof(PixelF) == 16, "a pixel must match OpenCL's float4");

// Geometry of a working image; pixel (x, y) is element y * pitch + x.
struct ImageDims {
    int32_t width;
    int32_t height;
    int32_t pitch;  // pixels between row starts, >= width
};

enum BlurMode : int32_t { kBlurBox = 1, kBlurGaussian = 2 };
enum GrayMode : int32_t { kGrayOff = 1, kGrayBefore = 2, kGrayAfter = 3 };

// The settings record of one frame, computed once at pre-render.
struct PatternSettings {
    int32_t blurMode;     // 1 box, anything else Gaussian
    int32_t grayMode;     // 2 before, 3 after, anything else none
    int32_t iterations;   // <= 0 runs none
    float blurSigma;      // pixels at the frame's resolution
    float sharpenSigma;   // pixels at the frame's resolution
    float sharpenAmount;  // unsharp-mask gain
    bool useGpu;
};

// Progress/cancellation: a non-zero return stops the iteration with that code.
using ProgressCallback = int32_t (*)(void* ref, int32_t current, int32_t total);

struct ProgressHook {
    ProgressCallback callback;
    void* ref;
};

// How a run of the pattern iteration ended.
enum class PatternStatus : int32_t {
    kDone,
    kStopped,      // the progress callback returned non-zero
    kOutOfMemory,  // a weight table or scratch line could not be allocated
    kBadDims,      // geometry no working image can have (negative sizes, pitch below width)
};

struct PatternResult {
    PatternStatus status = PatternStatus::kDone;
    int32_t stopCode = 0;  // when stopped, the callback's value, which its caller wants back unchanged

    bool operator==(const PatternResult&) const = default;
};

}  // namespace maculo
