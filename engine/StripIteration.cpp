#include "engine/StripIteration.h"

#include <immintrin.h>

#include <algorithm>

#include "engine/FilterShapes.h"

namespace maculo {
namespace {

// Bands the ring holds at most: windows that need more are so wide that
// their arithmetic, not the memory between the steps, sets the pace.
constexpr int32_t kMostRingBands = 4;

// Rows of the ring start equally aligned to the widest vector.
constexpr int32_t kPixelsPerLine = kCacheLineBytes / sizeof(PixelF);

int64_t RingPitch(int32_t width) { return (width + kPixelsPerLine - 1) / kPixelsPerLine * kPixelsPerLine; }

constexpr float PixelF::*kLaneOf[kChannels] = {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue};

// Picture row that lane k of packed row y holds before mirroring, and the
// packed row of the same lane whose picture row it mirrors.
int32_t Unmirrored(const PlaneStrips& strips, int32_t k, int32_t y) { return strips.Start(k) + y - strips.halo; }
int32_t MirrorSource(const PlaneStrips& strips, int32_t k, int32_t y) {
    return MirrorIndex(Unmirrored(strips, k, y), strips.height - 1) - strips.Start(k) + strips.halo;
}
bool InPicture(const PlaneStrips& strips, int32_t k, int32_t y) {
    const int32_t u = Unmirrored(strips, k, y);
    return u >= 0 && u < strips.height;
}

// The pattern blur of packed rows past the picture's ends, computed lane by
// lane as if the picture went on, becomes the mirror of the rows inside it,
// as the other steps read it.
void MirrorLanes(const PlaneStrips& strips, const RowPlace<PixelF>& ring, int32_t from, int32_t to) {
    const int32_t width = strips.packed.width;
    for (int32_t y = from; y < to; ++y) {
        for (int32_t k = 0; k < kChannels; ++k) {
            if (InPicture(strips, k, y)) continue;
            const PixelF* in = ring.Row(MirrorSource(strips, k, y));
            PixelF* out = ring.Row(y);
            float PixelF::*lane = kLaneOf[k];
            for (int32_t x = 0; x < width; ++x) out[x].*lane = in[x].*lane;
        }
    }
}

}  // namespace

int32_t RingRows(int32_t height, int32_t bandRows, int32_t sharpenReach) {
    return std::max(1, std::min(height, bandRows + 2 * sharpenReach));
}

bool FusesSteps(int32_t bandRows, int32_t ringRows) { return ringRows <= kMostRingBands * bandRows; }

bool FusesPlanes(const PlaneStrips& strips, int32_t sharpenReach) {
    // A halo row is mirrored within the ring when its source is one of the
    // strip's own rows no farther from the strip's end than the reach.
    const int32_t first = strips.halo;
    const int32_t end = strips.halo + strips.rows;
    for (int32_t d = 1; d <= sharpenReach; ++d) {
        for (int32_t k = 0; k < kChannels; ++k) {
            const int32_t above = first - d;
            const int32_t below = end - 1 + d;
            if (!InPicture(strips, k, above)) {
                const int32_t source = MirrorSource(strips, k, above);
                if (source < first || source > first + sharpenReach || source >= end) return false;
            }
            if (!InPicture(strips, k, below)) {
                const int32_t source = MirrorSource(strips, k, below);
                if (source >= end || source < end - 1 - sharpenReach || source < first) return false;
            }
        }
    }
    return true;
}

StripScratch::StripScratch(int32_t width, int32_t ringRows, int32_t bandRows, int32_t reach, int32_t taps,
                           const BlurKernelSet& kernels)
    : ringRows_(ringRows),
      ringPitch_(RingPitch(width)),
      ring_(static_cast<size_t>(ringPitch_) * ringRows + kPixelsPerLine),
      pattern_(width, bandRows, reach, taps, kernels),
      sharpen_(width, bandRows, reach, taps, kernels) {}

RowPlace<PixelF> StripScratch::Ring() {
    const auto start = reinterpret_cast<uintptr_t>(ring_.data());
    const size_t toALine = (kCacheLineBytes - start % kCacheLineBytes) % kCacheLineBytes / sizeof(PixelF);
    return {ring_.data() + toALine, ringPitch_, ringRows_};
}

void IterateStrip(const BlurKernelSet& kernels, const StripImages& images, const IterationFilters& filters, int32_t y0,
                  int32_t count, StripScratch& scratch, bool goOn) {
    const ImageDims& dims = images.dims;
    const RowPlace<PixelF> ring = scratch.Ring();
    const RowPlace<const PixelF> ringIn{ring.base, ring.pitch, ring.ring};
    const int32_t last = dims.height - 1;
    const BandIo blur{{images.src, dims.pitch, 0}, last, dims.width, ring, nullptr, 0.0f, false};
    const BandIo sharpen{ringIn, last, dims.width, {images.dst, dims.pitch, 0}, &ringIn, filters.amount, true};
    const int32_t reach = filters.sharpen.Reach();
    const int32_t bandRows = scratch.BandRows();

    // Bottom band first, as each blur's vertical pass climbs, one band going
    // on from the one below it. The ring holds the pattern blur's rows
    // lowest ... of those computed so far.
    int32_t lowest = scratch.RingLowest();
    for (int32_t end = y0 + count; end > y0; end -= bandRows) {
        const int32_t start = std::max(y0, end - bandRows);
        const bool first = end == y0 + count && !goOn;
        const int32_t needed = std::max(0, start - reach);
        const int32_t top = first ? std::min(dims.height, end + reach) : lowest;
        for (int32_t e = top; e > needed; e -= bandRows) {
            const int32_t s = std::max(needed, e - bandRows);
            BlurBand(kernels, blur, filters.pattern, s, e - s, !first || e != top, scratch.PatternBlur());
        }
        if (images.strips) MirrorLanes(*images.strips, ring, needed, top);
        lowest = needed;
        BlurBand(kernels, sharpen, filters.sharpen, start, end - start, !first, scratch.SharpenBlur());
    }
    scratch.SetRingLowest(lowest);
    // The results stored past the caches reach memory before the threads
    // meet at the iteration's end and read them.
    _mm_sfence();
}

}  // namespace maculo
