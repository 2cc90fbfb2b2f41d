// Operations that treat every pixel of the pitch x height area on its own.
#include "engine/PatternOps.h"

namespace maculo {
namespace {

int64_t PixelCount(const ImageDims& dims) {
    if (dims.pitch <= 0 || dims.height <= 0) return 0;
    return static_cast<int64_t>(dims.pitch) * dims.height;
}

}  // namespace

void CopyImage(const PixelF* src, PixelF* dst, const ImageDims& dims) {
    const int64_t count = PixelCount(dims);
#pragma omp parallel for schedule(static)
    for (int64_t i = 0; i < count; ++i) dst[i] = src[i];
}

void CopyVisible(const PixelF* src, PixelF* dst, const ImageDims& dims) {
#pragma omp parallel for schedule(static)
    for (int32_t y = 0; y < dims.height; ++y) {
        const int64_t row = static_cast<int64_t>(y) * dims.pitch;
        for (int32_t x = 0; x < dims.width; ++x) dst[row + x] = src[row + x];
    }
}

void ConvertToGray(const PixelF* src, PixelF* dst, const ImageDims& dims) {
    const int64_t count = PixelCount(dims);
#pragma omp parallel for schedule(static)
    for (int64_t i = 0; i < count; ++i) {
        const PixelF p = src[i];
        const float gray = (0.298912f * p.red + 0.586611f * p.green) + 0.114478f * p.blue;
        dst[i] = PixelF{p.alpha, gray, gray, gray};
    }
}

}  // namespace maculo
