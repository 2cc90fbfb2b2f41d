// One separable blur of a chunk of rows (the rows one thread takes), band
// by band (the rows one call of the kernels takes) with both passes fused:
// the vertical pass runs straight down the columns into lines the thread
// owns, the horizontal pass reads them back while they are still in cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/BlurKernels.h"
#include "engine/PatternTypes.h"

namespace maculo {

// Columns of a tile of a band blurred with a filter of `taps` taps: the
// vertical pass fills the lines tile by tile and the horizontal pass
// follows them, so that the lines of a tile and the rows a window of the
// vertical pass holds stay in the core's cache (see KernelSchedule).
int32_t TileColumns(const KernelSchedule& schedule, int32_t taps, int32_t bandRows);

// A blur as its bands take it: the filter, and its tile's columns.
struct BandFilter {
    const LineFilter& filter;
    int32_t tileColumns;
};

// A thread's lines and row table, made before the iteration so that nothing
// is allocated inside it. Sized for bands of `bandRows` rows, filters
// reaching at most `reach` pixels with at most `taps` taps, and the given
// kernels; may throw std::bad_alloc.
class BandScratch {
public:
    BandScratch(int32_t width, int32_t bandRows, int32_t reach, int32_t taps, const BlurKernelSet& kernels);
    BandScratch(BandScratch&&) = default;
    BandScratch(const BandScratch&) = delete;
    BandScratch& operator=(const BandScratch&) = delete;

    // Line i (rows i * rowsPerLine ... of the band), pixel 0, with reach + 1
    // pixels of room on either side.
    PixelF* Line(int32_t i);
    // Pixels from one line to the next.
    int64_t LineStride() const { return stride_; }
    int32_t BandRows() const { return bandRows_; }
    // The horizontal pass's sums in progress on line i.
    float* State(int32_t i) { return firstState_ + static_cast<size_t>(i) * stateFloats_; }
    // The vertical pass's sums in progress, column by column.
    float* ColumnState() { return columnStates_.data(); }
    // The band's row table of the vertical pass, valid from index -kBandSlack.
    const PixelF** Rows() { return rows_.data() + kBandSlack; }

private:
    int32_t rowsPerLine_;
    int32_t reach_;
    int32_t stride_;  // pixels from line to line
    int32_t bandRows_;
    int32_t stateFloats_;
    std::vector<PixelF> lines_;
    std::vector<float> states_;
    std::vector<float> columnStates_;
    std::vector<const PixelF*> rows_;
    PixelF* first_;  // the first line, aligned
    float* firstState_;
};

// Where row y (never negative) of an image lies: in a whole image, or in a
// ring of `ring` rows that holds any `ring` consecutive rows of one.
template <typename Pixel>
struct RowPlace {
    Pixel* base;
    int64_t pitch;
    int32_t ring;  // 0: a whole image

    Pixel* Row(int32_t y) const { return base + (ring == 0 ? y : y % ring) * pitch; }
};

// What one blur of a band reads and writes: rows of src (mirrored into
// 0 ... last), blurred into the same rows of dst, or with sharp the unsharp
// mask of sharp's rows against the blur. Only the first width pixels of any
// row. With stream, results that fill whole cache lines bypass the caches
// (for rows nothing reads back soon).
struct BandIo {
    RowPlace<const PixelF> src;
    int32_t last;
    int32_t width;
    RowPlace<PixelF> dst;
    const RowPlace<const PixelF>* sharp;
    float amount;
    bool stream;
};

// Blurs rows y0 ... y0 + count - 1 (at most the scratch's band) in both
// passes. With `resume`, the band resumes from the one just below it,
// blurred with the same filter and scratch.
void BlurBand(const BlurKernelSet& kernels, const BandIo& io, const BandFilter& filter, int32_t y0, int32_t count,
              bool resume, BandScratch& scratch);

// Blurs rows y0 ... y0 + count - 1 of src into the same rows of dst, band by
// band from the bottom up. With sharp, writes the unsharp mask of sharp
// against the blur instead. Reads only the first width pixels of any row.
void BlurChunk(const BlurKernelSet& kernels, const PixelF* src, const ImageDims& dims, const BandFilter& filter,
               int32_t y0, int32_t count, BandScratch& scratch, PixelF* dst, const PixelF* sharp = nullptr,
               float amount = 0.0f);

}  // namespace maculo
