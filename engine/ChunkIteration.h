// One iteration of a chunk of rows in a single pass over its image: the
// pattern blur's results go into a ring of rows the thread owns, and the
// sharpen blur and the unsharp mask follow them band by band up the chunk,
// so that the iteration reads its input once and writes its output once
// and the rows between its steps stay in the core's cache. A chunk computes
// the pattern blur's rows its windows reach beyond its own (its neighbours
// compute them too), so that no thread waits for another.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/BandBlur.h"
#include "engine/BlurKernels.h"
#include "engine/ChannelLayout.h"
#include "engine/PatternTypes.h"

namespace maculo {

// The two blurs of an iteration and the unsharp mask's gain.
struct IterationFilters {
    BandFilter pattern;
    BandFilter sharpen;
    float amount;
};

// A thread's ring and each blur's lines, made before the iteration so that
// nothing is allocated inside it; may throw std::bad_alloc.
class ChunkScratch {
public:
    ChunkScratch(int32_t width, int32_t ringRows, int32_t bandRows, int32_t reach, int32_t taps,
                 const BlurKernelSet& kernels);
    ChunkScratch(ChunkScratch&&) = default;

    RowPlace<PixelF> Ring();
    BandScratch& PatternBlur() { return pattern_; }
    BandScratch& SharpenBlur() { return sharpen_; }
    int32_t BandRows() const { return pattern_.BandRows(); }
    // The lowest of the pattern blur's rows in the ring, for the chunk
    // above to resume from.
    int32_t RingLowest() const { return ringLowest_; }
    void SetRingLowest(int32_t row) { ringLowest_ = row; }

private:
    int32_t ringRows_;
    int32_t ringLowest_ = 0;
    int64_t ringPitch_;
    std::vector<PixelF> ring_;
    BandScratch pattern_;
    BandScratch sharpen_;
};

// The image an iteration reads (src) and the one it writes (dst), both
// sections of the layout, which mirrors the rows past the picture's ends.
struct ChunkImages {
    const PixelF* src;
    PixelF* dst;
    const ChannelLayout& layout;
};

// One iteration of rows y0 ... y0 + count - 1 of src into dst. With
// `resume`, the chunk just below them is the last this scratch iterated, and
// the ring and the blurs' sums resume from it as within one chunk: nothing is
// computed twice where the two meet.
void IterateChunk(const BlurKernelSet& kernels, const ChunkImages& images, const IterationFilters& filters, int32_t y0,
                  int32_t count, ChunkScratch& scratch, bool resume = false);

}  // namespace maculo
