#include "engine/BandBlur.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "engine/FilterShapes.h"

namespace maculo {
namespace {

// Elements from p to the first one on a cache line.
template <typename T>
int32_t ToALine(const T* p) {
    const auto start = reinterpret_cast<uintptr_t>(p);
    return static_cast<int32_t>((kCacheLineBytes - start % kCacheLineBytes) % kCacheLineBytes / sizeof(T));
}

// The first element of `v` on a cache line.
template <typename T>
T* Aligned(std::vector<T>& v) {
    return v.data() + ToALine(v.data());
}

}  // namespace

int32_t TileColumns(const KernelSchedule& schedule, int32_t taps, int32_t bandRows) {
    constexpr auto kPixelBytes = static_cast<int32_t>(sizeof(PixelF));
    const int32_t pixels = std::min(schedule.linesBytes / kPixelBytes / bandRows,
                                    schedule.windowBytes / kPixelBytes / (taps + kBandRows + 1));
    const int32_t align = schedule.tileAlign;
    return std::max(align, pixels / align * align);
}

BandScratch::BandScratch(int32_t width, int32_t bandRows, int32_t reach, int32_t taps, const BlurKernelSet& kernels)
    : rowsPerLine_(kernels.rowsPerLine),
      reach_(reach + 1),
      stride_((width + 2 * reach_) * rowsPerLine_),
      bandRows_(bandRows),
      stateFloats_(kernels.stateFloats),
      lines_(static_cast<size_t>(stride_) * (bandRows / rowsPerLine_) + kCacheLineBytes / sizeof(PixelF)),
      states_(static_cast<size_t>(stateFloats_) * (bandRows / rowsPerLine_) + kCacheLineBytes / sizeof(float)),
      columnStates_(static_cast<size_t>(width) * 4 * kernels.stateSums),
      rows_(static_cast<size_t>(bandRows) + taps + 2 * kBandSlack),
      first_(Aligned(lines_)),
      firstState_(Aligned(states_)) {}

PixelF* BandScratch::Line(int32_t i) {
    return first_ + static_cast<size_t>(i) * stride_ + static_cast<size_t>(reach_) * rowsPerLine_;
}

void BlurBand(const BlurKernelSet& kernels, const BandIo& io, const BandFilter& tiled, int32_t y0, int32_t count,
              bool resume, BandScratch& scratch) {
    const LineFilter& filter = tiled.filter;
    const int32_t width = io.width;
    const int32_t rowsPerLine = kernels.rowsPerLine;
    const int32_t reach = filter.Reach();
    const PixelF** rows = scratch.Rows();

    // The horizontal pass over pixels from ... to - 1 of every line.
    const auto across = [&](int32_t from, int32_t to) {
        for (int32_t j = 0; j < count; j += rowsPerLine) {
            PixelF* out[kBandRows];
            const PixelF* sharpRows[kBandRows];
            const int32_t rowsHere = std::min(rowsPerLine, count - j);
            for (int32_t k = 0; k < rowsHere; ++k) {
                out[k] = io.dst.Row(y0 + j + k);
                sharpRows[k] = io.sharp ? io.sharp->Row(y0 + j + k) : nullptr;
            }
            PixelF* line = scratch.Line(j / rowsPerLine);
            if (from == 0) PadLine(line, width, reach, rowsPerLine, LineEnd::kStart);
            if (to == width) PadLine(line, width, reach + 1, rowsPerLine, LineEnd::kEnd);
            kernels.row({line, from, to, filter, rowsHere, out, io.sharp ? sharpRows : nullptr, io.amount,
                         scratch.State(j / rowsPerLine), io.stream});
        }
    };

    // Tile by tile down the columns; the horizontal pass follows each tile
    // over the pixels whose windows (the mirrored pixels before the row's
    // start included) are now complete, so the lines are read back while
    // they are still in the core's cache.
    const int32_t lowest = y0 + count - 1 + filter.Half();
    for (int32_t s = -kBandSlack; s < count + filter.taps + kBandSlack; ++s) {
        rows[s] = io.src.Row(MirrorIndex(lowest - s, io.last));
    }
    // With alignColumns, the tiles after a first one of the pixels before
    // the rows' first cache line start on cache lines (of every row, when
    // rows start equally aligned).
    const int32_t lead = kernels.schedule.alignColumns == 0 ? 0 : ToALine(io.src.base);
    int32_t done = 0;
    for (int32_t x0 = 0, x1 = 0; x0 < width; x0 = x1) {
        x1 = std::min(width, x0 < lead ? lead : x0 + tiled.tileColumns);
        kernels.columns(
            {rows, count, x0, x1, filter, scratch.Line(0), scratch.LineStride(), scratch.ColumnState(), width, resume});
        // The horizontal pass may read one pixel past its windows, and goes
        // on from even pixels.
        const int32_t ready = x1 == width ? width : (x1 - reach - 1) / 2 * 2;
        if (ready > done) {
            across(done, ready);
            done = ready;
        }
    }
}

void BlurChunk(const BlurKernelSet& kernels, const PixelF* src, const ImageDims& dims, const BandFilter& filter,
               int32_t y0, int32_t count, BandScratch& scratch, PixelF* dst, const PixelF* sharp, float amount) {
    // Bottom band first: the vertical pass climbs, one band resuming from
    // the one below it.
    const int32_t bandRows = scratch.BandRows();
    const RowPlace<const PixelF> sharpRows{sharp, dims.pitch, 0};
    const BandIo io{{src, dims.pitch, 0},         dims.height - 1, dims.width, {dst, dims.pitch, 0},
                    sharp ? &sharpRows : nullptr, amount,          true};
    for (int32_t end = y0 + count; end > y0; end -= bandRows) {
        const int32_t start = std::max(y0, end - bandRows);
        BlurBand(kernels, io, filter, start, end - start, end != y0 + count, scratch);
    }
    // The results stored past the caches reach memory before the threads
    // meet at the step's end and read them.
    _mm_sfence();
}

}  // namespace maculo
