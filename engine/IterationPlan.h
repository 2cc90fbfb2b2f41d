// How the iterations of one call are cut up, decided once before they run:
// how the channels are held (ChannelLayout.h), the chunks (the rows one
// thread takes at a time), the bands (the rows one call of the kernels
// takes), the tiles (the columns a band's vertical pass fills before the
// horizontal pass follows), and whether an iteration's two steps are fused
// through a ring of rows or run one after the other. Nothing here reads a
// pixel: the same shape, settings, kernels and threads give the same plan.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/BlurKernels.h"
#include "engine/ChannelLayout.h"
#include "engine/PatternTypes.h"

namespace maculo {

// The two blurs of an iteration of these settings without their weights:
// a plan needs only their windows (kind and taps).
struct IterationWindows {
    LineFilter pattern;
    LineFilter sharpen;
};
IterationWindows WindowsOf(const PatternSettings& settings);

struct IterationPlan {
    ChannelLayout layout;
    int threads;
    int32_t chunkRows;  // rows of a chunk but the last of a section
    int32_t chunksPerSection;
    int32_t bandRows;     // rows of a band, a multiple of kBandRows
    int32_t patternTile;  // columns of a tile of the pattern blur
    int32_t sharpenTile;  // and of the sharpen blur
    bool fused;           // both steps of an iteration in one pass
    int32_t ringRows;     // rows of a fused pass's ring
    int32_t reach;        // of the wider window, which the scratch is sized for
    int32_t taps;         // of the longer window

    int32_t Chunks() const { return chunksPerSection * layout.sections; }
    // Chunk c is rows ChunkRow(c) ... ChunkRow(c) + ChunkCount(c) - 1,
    // counted from the layout's firstRow, of the section that starts
    // ChunkSection(c) pixels past the first one.
    int64_t ChunkSection(int32_t c) const { return c / chunksPerSection * layout.sectionPixels; }
    int32_t ChunkRow(int32_t c) const { return c % chunksPerSection * chunkRows; }
    int32_t ChunkCount(int32_t c) const { return std::min(chunkRows, layout.rows - ChunkRow(c)); }
};

// The plan for a picture of these dimensions with `planes` distinct
// channels that vary (kChannels: all four channels iterated in place,
// which is also what a picture that shows nothing or runs no iteration
// takes), iterated with these settings by these kernels on `threads`
// threads.
IterationPlan PlanIteration(const ImageDims& dims, int32_t planes, const PatternSettings& settings,
                            const BlurKernelSet& kernels, int threads);

// The plan on one line, for people reading a log or a failed test.
std::string ToString(const IterationPlan& plan);

}  // namespace maculo
