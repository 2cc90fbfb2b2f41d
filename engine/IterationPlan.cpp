#include "engine/IterationPlan.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "engine/FilterShapes.h"

namespace maculo {
namespace {

constexpr int32_t kChunksPerThread = 2;

// Windows a chunk is tall at least, where that leaves every thread chunks.
constexpr int32_t kLeastChunkWindows = 8;

// Bands a ring holds at most: windows that need more are so wide that
// their arithmetic, not the memory between the steps, sets the pace.
constexpr int32_t kMostRingBands = 4;

// Rows in a chunk for `sections` images of `height` rows shared by
// `threads` threads and filters of at most `taps` taps: about two chunks
// for each thread in all, so that a thread the system holds back (the host
// renders other frames beside this one) delays nobody long, but fewer where
// chunks would be only a few windows tall (each chunk reads its windows'
// reach again), as long as every thread has as many; a lone thread takes
// each image whole. A multiple of kBandRows.
int32_t RowsPerChunk(int32_t height, int32_t sections, int threads, int32_t taps) {
    const int32_t images = std::max(sections, 1);
    const int32_t team = std::max(threads, 1);
    // A lone thread has nobody to wait for: each image whole, with no
    // window read twice.
    const int32_t perThread = team == 1 ? 1 : kChunksPerThread;
    const int32_t wanted = (perThread * team + images - 1) / images;
    const int32_t tall = height / (kLeastChunkWindows * std::max(taps, 1));
    const int32_t fewest = std::max(1, std::min(wanted, tall));
    // Whole rounds of chunks for the team, so that no thread is left waiting
    // for one last chunk.
    const int32_t rounds = (fewest * images + team - 1) / team;
    const int32_t chunks = (rounds * team + images - 1) / images;
    return std::max(kBandRows, ((height + chunks - 1) / chunks + kBandRows - 1) / kBandRows * kBandRows);
}

// Rows of the ring for bands of `bandRows` rows of images `height` rows
// tall, when the sharpen blur reaches `sharpenReach` rows: every row a
// band's windows read.
int32_t RingRows(int32_t height, int32_t bandRows, int32_t sharpenReach) {
    return std::max(1, std::min(height, bandRows + 2 * sharpenReach));
}

LineFilter TableWindow(float sigma) {
    return {LineFilter::Kind::kTable, nullptr, ShapeGaussianTable(sigma).taps, 0.0f, 0.0f, true};
}

}  // namespace

IterationWindows WindowsOf(const PatternSettings& settings) {
    return {settings.blurMode == kBlurBox ? BoxFilter(SanitizeSigma(settings.blurSigma) * 3.0f)
                                          : TableWindow(settings.blurSigma),
            TableWindow(settings.sharpenSigma)};
}

IterationPlan PlanIteration(const ImageDims& dims, int32_t planes, const PatternSettings& settings,
                            const BlurKernelSet& kernels, int threads) {
    const IterationWindows windows = WindowsOf(settings);
    const int32_t patternReach = windows.pattern.Reach();
    const int32_t sharpenReach = windows.sharpen.Reach();
    const int32_t reach = std::max(patternReach, sharpenReach);
    const int32_t taps = std::max(windows.pattern.taps, windows.sharpen.taps);
    threads = std::max(threads, 1);

    // The distinct channels that vary, as planes packed into lanes, where
    // they fit; otherwise all four channels in place. Fused iterations read
    // both blurs' reach past a lane. Planes fuse their steps only for a
    // team: the rows a fused lane computes past a plane's ends cost a lone
    // thread more than the memory traffic they save it (measured).
    std::optional<PackedPlanes> packing;
    if (planes < kChannels && threads > 1) {
        packing = FitPlanes(dims, planes, patternReach + sharpenReach);
        if (packing && !FusesPlanes(*packing, sharpenReach)) packing.reset();
    }
    if (planes < kChannels && !packing) packing = FitPlanes(dims, planes, reach);
    const ChannelLayout layout = packing       ? ChannelLayout::Planes(*packing, planes)
                                 : planes == 0 ? ChannelLayout::NoPlane(dims)
                                               : ChannelLayout::Pixels(dims);

    const int32_t chunkRows = RowsPerChunk(std::max(layout.rows, 1), layout.sections, threads, taps);
    const int32_t stepBandRows = std::min(chunkRows, kernels.schedule.mostBandRows);
    const int32_t ringBandRows = std::min(chunkRows, kernels.schedule.ringBandRows);
    const int32_t ringRows = RingRows(layout.dims.height, ringBandRows, sharpenReach);
    // A ring of no more than a few bands: wider windows spend their time on
    // arithmetic, not memory. Packed planes fuse only with the halo both
    // blurs read.
    const bool fused =
        ringRows <= kMostRingBands * stepBandRows && (!packing || packing->halo >= patternReach + sharpenReach);
    const int32_t bandRows = fused ? ringBandRows : stepBandRows;
    return {layout,
            threads,
            chunkRows,
            layout.dims.width > 0 ? (layout.rows + chunkRows - 1) / chunkRows : 0,
            bandRows,
            TileColumns(kernels.schedule, windows.pattern.taps, bandRows),
            TileColumns(kernels.schedule, windows.sharpen.taps, bandRows),
            fused,
            ringRows,
            reach,
            taps};
}

std::string ToString(const IterationPlan& plan) {
    const ChannelLayout& layout = plan.layout;
    char text[400];
    int at = 0;
    switch (layout.kind) {
        case ChannelLayout::Kind::kPixels:
            at = std::snprintf(text, sizeof text, "four channels in place, %dx%d", layout.dims.width,
                               layout.dims.height);
            break;
        case ChannelLayout::Kind::kPlanes:
            at = std::snprintf(text, sizeof text, "%d plane%s packed in lanes of %d rows with %d halo rows, %dx%d each",
                               layout.sections, layout.sections == 1 ? "" : "s", layout.rows, layout.packing.halo,
                               layout.dims.width, layout.dims.height);
            break;
        case ChannelLayout::Kind::kNoPlane:
            at = std::snprintf(text, sizeof text, "no plane varies");
            break;
    }
    at += std::snprintf(text + at, sizeof text - static_cast<size_t>(at),
                        "; %d thread%s, %d chunk%s of %d rows, bands of %d rows, tiles of %d and %d columns; ",
                        plan.threads, plan.threads == 1 ? "" : "s", plan.Chunks(), plan.Chunks() == 1 ? "" : "s",
                        plan.chunkRows, plan.bandRows, plan.patternTile, plan.sharpenTile);
    if (plan.fused) {
        at += std::snprintf(text + at, sizeof text - static_cast<size_t>(at), "fused, ring of %d rows", plan.ringRows);
    } else {
        at += std::snprintf(text + at, sizeof text - static_cast<size_t>(at), "in steps");
    }
    std::snprintf(text + at, sizeof text - static_cast<size_t>(at), "; windows of %d taps reaching %d", plan.taps,
                  plan.reach);
    return text;
}

}  // namespace maculo
