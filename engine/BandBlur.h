// One separable blur of a band of rows with both passes fused: the vertical
// pass runs straight down the columns into lines the thread owns, the
// horizontal pass reads them back while they are still in cache.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/BlurKernels.h"
#include "engine/PatternTypes.h"

namespace maculo {

// Rows in a band, the unit of work a thread takes, for a frame of `height`
// rows shared by `threads` threads: up to 64, so that many rows share the
// cold start of the vertical windows in every band, yet few enough that each
// thread gets about four bands and all finish together. A multiple of
// kBandRows.
int32_t RowsPerBand(int32_t height, int threads);

// A thread's lines and row table, made before the iteration so that nothing
// is allocated inside it. Sized for bands of `bandRows` rows, filters
// reaching at most `reach` pixels with at most `taps` taps, and kernels of
// `lanes` rows to a line; may throw std::bad_alloc.
class BandScratch {
public:
    BandScratch(int32_t width, int32_t bandRows, int32_t reach, int32_t taps, int32_t lanes);
    BandScratch(BandScratch&&) = default;
    BandScratch(const BandScratch&) = delete;
    BandScratch& operator=(const BandScratch&) = delete;

    // Line i (rows i * lanes ... of the band), pixel 0, with `reach` pixels
    // of room on either side; aligned for the widest vectors.
    PixelF* Line(int32_t i);
    // The row table of the vertical pass, valid from index -kBandRows.
    const PixelF** Rows() { return rows_.data() + kBandRows; }

private:
    int32_t lanes_;
    int32_t reach_;
    int32_t stride_;  // pixels from line to line
    std::vector<PixelF> lines_;
    PixelF* first_;  // the first line, aligned
    std::vector<const PixelF*> rows_;
};

// Blurs rows y0 ... y0 + count - 1 (count at most the scratch's band) of src into
// the same rows of dst. With sharp, writes the unsharp mask of sharp against
// the blur instead. Reads only the first width pixels of any row.
void BlurBand(const BlurKernelSet& kernels, const PixelF* src, const ImageDims& dims,
              const LineFilter& filter, int32_t y0, int32_t count, BandScratch& scratch, PixelF* dst,
              const PixelF* sharp = nullptr, float amount = 0.0f);

}  // namespace maculo
