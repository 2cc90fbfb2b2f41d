// The threads' scratch of the iterations, kept between calls by a caller
// that renders many frames of one size (a video filter's instance), so that
// a frame neither allocates it nor faults its pages in again. Every row a
// call reads from it, the call has written first: nothing of one frame
// reaches the next.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/BandBlur.h"
#include "engine/BlurKernels.h"
#include "engine/ChunkIteration.h"

namespace maculo {

// What the scratch is made for: each thread's lines, and with fused steps
// its ring, depend on all of it.
struct ScratchShape {
    const BlurKernelSet* kernels = nullptr;
    int threads = 0;
    bool fused = false;
    int32_t width = 0;
    int32_t ringRows = 0;
    int32_t bandRows = 0;
    int32_t reach = 0;
    int32_t taps = 0;

    bool operator==(const ScratchShape&) const = default;
};

class PatternWorkspace {
public:
    // One scratch for each of shape.threads threads, kept from the last call
    // when it had the same shape, made anew otherwise; may throw
    // std::bad_alloc, leaving the workspace empty.
    std::vector<ChunkScratch>& ChunksFor(const ScratchShape& shape);
    std::vector<BandScratch>& BandsFor(const ScratchShape& shape);

private:
    // Drops what the last call kept unless it has this shape; true when it
    // must be made.
    bool Reshape(const ScratchShape& shape);

    ScratchShape shape_;
    std::vector<ChunkScratch> chunks_;
    std::vector<BandScratch> bands_;
};

}  // namespace maculo
