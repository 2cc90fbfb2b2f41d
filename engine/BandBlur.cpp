#include "engine/BandBlur.h"

#include <algorithm>
#include <cstdint>

#include "engine/FilterShapes.h"

namespace maculo {
namespace {

// The vertical pass walks a band in strips of columns narrow enough that the
// rows under a window, strip wide, stay in the core's second-level cache
// while the window slides down; strips are whole groups of wide vectors.
constexpr int32_t kWindowBytes = 256 * 1024;
constexpr int32_t kStripAlign = 16;

int32_t StripWidth(const LineFilter& filter) {
    const int32_t rows = filter.taps + kBandRows + 1;
    const int32_t pixels = kWindowBytes / static_cast<int32_t>(sizeof(PixelF)) / rows;
    return std::max(kStripAlign, pixels / kStripAlign * kStripAlign);
}

constexpr size_t kLineAlign = 64;  // a cache line, the widest vector

constexpr int32_t kMostRowsPerBand = 16 * kBandRows;
constexpr int32_t kFewestRowsPerBand = 4 * kBandRows;
constexpr int32_t kBandsPerThread = 4;

}  // namespace

int32_t RowsPerBand(int32_t height, int threads) {
    const int32_t share = height / (kBandsPerThread * std::max(threads, 1)) / kBandRows * kBandRows;
    return std::clamp(share, kFewestRowsPerBand, kMostRowsPerBand);
}

BandScratch::BandScratch(int32_t width, int32_t bandRows, int32_t reach, int32_t taps, int32_t lanes)
    : lanes_(lanes),
      reach_(reach),
      stride_((width + 2 * reach) * lanes),
      lines_(static_cast<size_t>(stride_) * (bandRows / lanes) + kLineAlign / sizeof(PixelF)),
      rows_(static_cast<size_t>(taps) + 2 * kBandRows) {
    const auto start = reinterpret_cast<uintptr_t>(lines_.data());
    first_ = lines_.data() + (kLineAlign - start % kLineAlign) % kLineAlign / sizeof(PixelF);
}

PixelF* BandScratch::Line(int32_t i) {
    return first_ + static_cast<size_t>(i) * stride_ + static_cast<size_t>(reach_) * lanes_;
}

void BlurBand(const BlurKernelSet& kernels, const PixelF* src, const ImageDims& dims,
              const LineFilter& filter, int32_t y0, int32_t count, BandScratch& scratch, PixelF* dst,
              const PixelF* sharp, float amount) {
    const int32_t last = dims.height - 1;
    const int32_t strip = StripWidth(filter);
    const int32_t lanes = kernels.lanes;
    const int32_t reach = filter.Reach();
    const PixelF** rows = scratch.Rows();

    // The horizontal pass over pixels from ... to - 1 of every line.
    const auto across = [&](int32_t from, int32_t to) {
        for (int32_t j = 0; j < count; j += lanes) {
            PixelF* out[kBandRows];
            const PixelF* sharpRows[kBandRows];
            const int32_t rowsHere = std::min(lanes, count - j);
            for (int32_t k = 0; k < rowsHere; ++k) {
                const int64_t offset = static_cast<int64_t>(y0 + j + k) * dims.pitch;
                out[k] = dst + offset;
                sharpRows[k] = sharp ? sharp + offset : nullptr;
            }
            PixelF* line = scratch.Line(j / lanes);
            if (from == 0) PadLine(line, dims.width, reach, lanes, LineEnd::kStart);
            if (to == dims.width) PadLine(line, dims.width, reach, lanes, LineEnd::kEnd);
            kernels.row(line, from, to, filter, rowsHere, out, sharp ? sharpRows : nullptr, amount);
        }
    };

    // Strip by strip down the columns; the horizontal pass follows each strip
    // over the pixels whose windows (the mirrored pixels before the row's
    // start included) are now complete, so the lines are read back while
    // they are still in the core's cache.
    int32_t done = 0;
    for (int32_t x0 = 0; x0 < dims.width; x0 += strip) {
        const int32_t x1 = std::min(dims.width, x0 + strip);
        for (int32_t j0 = 0; j0 < count; j0 += kBandRows) {
            const int32_t lowest = y0 + j0 + kBandRows - 1 + filter.Half();
            for (int32_t g = -kBandRows; g <= filter.taps + kBandRows - 1; ++g) {
                rows[g] = src + static_cast<int64_t>(MirrorIndex(lowest - g, last)) * dims.pitch;
            }
            PixelF* lines[kBandRows];
            for (int32_t i = 0; i < kBandRows / lanes; ++i) lines[i] = scratch.Line(j0 / lanes + i);
            kernels.columns(rows, x0, x1, filter, lines);
        }
        const int32_t ready = x1 == dims.width ? dims.width : x1 - reach;
        if (ready > done) {
            across(done, ready);
            done = ready;
        }
    }
}

}  // namespace maculo
