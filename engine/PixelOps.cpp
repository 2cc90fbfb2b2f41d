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
