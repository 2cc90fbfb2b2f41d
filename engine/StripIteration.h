// One iteration of a strip of rows in a single pass over its image: the
// pattern blur's results go into a ring of rows the thread owns, and the
// sharpen blur and the unsharp mask follow them band by band up the strip,
// so that the iteration reads its input once and writes its output once
// and the rows between its steps stay in the core's cache. A strip computes
// the pattern blur's rows its windows reach beyond its own (its neighbours
// compute them too), so that no thread waits for another.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/BandBlur.h"
#include "engine/BlurKernels.h"
#include "engine/PatternCpuChannels.h"
#include "engine/PatternTypes.h"

namespace maculo {

// The two blurs of an iteration and the unsharp mask's gain.
struct IterationFilters {
    const LineFilter& pattern;
    const LineFilter& sharpen;
    float amount;
};

// Rows of the ring for bands of `bandRows` rows of images `height` rows
// tall, when the sharpen blur reaches `sharpenReach` rows: every row a
// band's windows read.
int32_t RingRows(int32_t height, int32_t bandRows, int32_t sharpenReach);

// Whether an iteration fuses its steps: its ring of `ringRows` rows holds
// no more than a few of the blurs' bands of `bandRows` rows (wider windows
// spend their time on arithmetic, not memory).
bool FusesSteps(int32_t bandRows, int32_t ringRows);

// Whether fused steps can iterate packed planes of these strips: the rows
// that mirror the picture's ends are repeated within their own lane and
// within reach of the ring (the strips are taller than the windows).
bool FusesPlanes(const PlaneStrips& strips, int32_t sharpenReach);

// A thread's ring and each blur's lines, made before the iteration so that
// nothing is allocated inside it; may throw std::bad_alloc.
class StripScratch {
public:
    StripScratch(int32_t width, int32_t ringRows, int32_t bandRows, int32_t reach, int32_t taps,
                 const BlurKernelSet& kernels);
    StripScratch(StripScratch&&) = default;

    RowPlace<PixelF> Ring();
    BandScratch& PatternBlur() { return pattern_; }
    BandScratch& SharpenBlur() { return sharpen_; }
    int32_t BandRows() const { return pattern_.BandRows(); }
    // The lowest of the pattern blur's rows in the ring, for the strip
    // above to go on from.
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

// The image an iteration reads (src) and the one it writes (dst), both of
// dims; for packed planes, their strips, whose halo rows past the
// picture's ends are mirrored lane by lane.
struct StripImages {
    const PixelF* src;
    PixelF* dst;
    ImageDims dims;
    const PlaneStrips* strips;
};

// One iteration of rows y0 ... y0 + count - 1 of src into dst. With goOn,
// the strip just below them is the last this scratch iterated, and the ring
// and the blurs' sums go on from it as within one strip: nothing is computed
// twice where the two meet.
void IterateStrip(const BlurKernelSet& kernels, const StripImages& images, const IterationFilters& filters, int32_t y0,
                  int32_t count, StripScratch& scratch, bool goOn = false);

}  // namespace maculo
