#include "engine/ChunkIteration.h"

#include <immintrin.h>

#include <algorithm>

namespace maculo {
namespace {

// Rows of the ring start equally aligned to the widest vector.
constexpr int32_t kPixelsPerLine = kCacheLineBytes / sizeof(PixelF);

int64_t RingPitch(int32_t width) { return (width + kPixelsPerLine - 1) / kPixelsPerLine * kPixelsPerLine; }

}  // namespace

ChunkScratch::ChunkScratch(int32_t width, int32_t ringRows, int32_t bandRows, int32_t reach, int32_t taps,
                           const BlurKernelSet& kernels)
    : ringRows_(ringRows),
      ringPitch_(RingPitch(width)),
      ring_(static_cast<size_t>(ringPitch_) * ringRows + kPixelsPerLine),
      pattern_(width, bandRows, reach, taps, kernels),
      sharpen_(width, bandRows, reach, taps, kernels) {}

RowPlace<PixelF> ChunkScratch::Ring() {
    const auto start = reinterpret_cast<uintptr_t>(ring_.data());
    const size_t toALine = (kCacheLineBytes - start % kCacheLineBytes) % kCacheLineBytes / sizeof(PixelF);
    return {ring_.data() + toALine, ringPitch_, ringRows_};
}

void IterateChunk(const BlurKernelSet& kernels, const ChunkImages& images, const IterationFilters& filters, int32_t y0,
                  int32_t count, ChunkScratch& scratch, bool resume) {
    const ImageDims& dims = images.layout.dims;
    const RowPlace<PixelF> ring = scratch.Ring();
    const RowPlace<const PixelF> ringIn{ring.base, ring.pitch, ring.ring};
    const int32_t last = dims.height - 1;
    const BandIo blur{{images.src, dims.pitch, 0}, last, dims.width, ring, nullptr, 0.0f, false};
    const BandIo sharpen{ringIn, last, dims.width, {images.dst, dims.pitch, 0}, &ringIn, filters.amount, true};
    const int32_t reach = filters.sharpen.filter.Reach();
    const int32_t bandRows = scratch.BandRows();

    // Bottom band first, as each blur's vertical pass climbs, one band
    // resuming from the one below it. The ring holds the pattern blur's rows
    // lowest ... of those computed so far.
    int32_t lowest = scratch.RingLowest();
    for (int32_t end = y0 + count; end > y0; end -= bandRows) {
        const int32_t start = std::max(y0, end - bandRows);
        const bool first = end == y0 + count && !resume;
        const int32_t needed = std::max(0, start - reach);
        const int32_t top = first ? std::min(dims.height, end + reach) : lowest;
        for (int32_t e = top; e > needed; e -= bandRows) {
            const int32_t s = std::max(needed, e - bandRows);
            BlurBand(kernels, blur, filters.pattern, s, e - s, !first || e != top, scratch.PatternBlur());
        }
        images.layout.MirrorRing(ring, needed, top);
        lowest = needed;
        BlurBand(kernels, sharpen, filters.sharpen, start, end - start, !first, scratch.SharpenBlur());
    }
    scratch.SetRingLowest(lowest);
    // The results stored past the caches reach memory before the threads
    // meet at the iteration's end and read them.
    _mm_sfence();
}

}  // namespace maculo
