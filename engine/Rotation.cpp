// Quarter turns that let both passes of a blur run along contiguous rows.
#include <algorithm>

#include "engine/PatternOps.h"

namespace maculo {
namespace {

// Source rows are taken in bands of four: for each column, a band's pixels land
// next to each other in the destination, 64 bytes, a cache line's worth, while
// the band's source rows stream through the cache (wider bands measured
// slower). Each pixel is still written once from its own source, so the split
// does not matter to the result.
constexpr int32_t kBandRows = 4;

// Moves pixel (x, y) of a pitch x height source to destination index
// target(x, y).
template <typename Target>
void Turn(const PixelF* src, PixelF* dst, int32_t pitch, int32_t height, Target target) {
    if (pitch <= 0 || height <= 0) return;
    const int32_t bands = (height - 1) / kBandRows + 1;
#pragma omp parallel for schedule(static)
    for (int32_t band = 0; band < bands; ++band) {
        const int32_t y0 = band * kBandRows;
        const int32_t y1 = std::min(height, y0 + kBandRows);
        for (int32_t x = 0; x < pitch; ++x) {
            for (int32_t y = y0; y < y1; ++y) {
                dst[target(x, y)] = src[static_cast<int64_t>(y) * pitch + x];
            }
        }
    }
}

}  // namespace

void RotateForward(const PixelF* src, PixelF* dst, int32_t pitch, int32_t height) {
    Turn(src, dst, pitch, height, [height](int32_t x, int32_t y) {
        return static_cast<int64_t>(x) * height + (height - 1 - y);
    });
}

void RotateBack(const PixelF* src, PixelF* dst, int32_t pitch, int32_t height) {
    Turn(src, dst, pitch, height, [pitch, height](int32_t x, int32_t y) {
        return static_cast<int64_t>(pitch - 1 - x) * height + y;
    });
}

}  // namespace maculo
