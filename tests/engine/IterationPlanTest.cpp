#include "engine/IterationPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ReferencePattern.h"
#include "engine/BlurKernels.h"

namespace maculo {
namespace {

constexpr float kAmount = 20.02654f;
constexpr ImageDims kFullHd{1920, 1080, 1920};

// "Width" w at full resolution.
PatternSettings Width(float w, int32_t mode = kBlurGaussian) {
    return {mode, kGrayOff, 1, w / 2.8368f, w / 2.8368f, kAmount, false};
}

// What a plan must hold, whatever it decides: the chunks compute every row
// of every section once, packed planes fit the working images and hold
// the rows the windows read past each lane, a fused pass's ring holds
// every row a band's windows read, tiles keep to the schedule's cache, and
// a lone thread takes each image whole.
void ExpectSound(const IterationPlan& plan, const ImageDims& dims, int32_t planes, const PatternSettings& settings,
                 const BlurKernelSet& kernels, int threads) {
    const std::string trace = ToString(plan);
    const ChannelLayout& layout = plan.layout;
    const IterationWindows windows = WindowsOf(settings);
    const int32_t bothReaches = windows.pattern.Reach() + windows.sharpen.Reach();

    // Planes are packed wherever they fit; none at all leave nothing to iterate.
    const ChannelLayout::Kind kind = planes == kChannels                               ? ChannelLayout::Kind::kPixels
                                     : planes == 0                                     ? ChannelLayout::Kind::kNoPlane
                                     : FitPlanes(dims, planes, plan.reach).has_value() ? ChannelLayout::Kind::kPlanes
                                                                                       : ChannelLayout::Kind::kPixels;
    EXPECT_EQ(layout.kind, kind) << trace;
    if (layout.kind == ChannelLayout::Kind::kPlanes) {
        EXPECT_EQ(layout.sections, planes) << trace;
        EXPECT_LE(layout.sections * layout.sectionPixels, static_cast<int64_t>(dims.pitch) * dims.height) << trace;
        EXPECT_GE(kChannels * layout.rows, dims.height) << trace;
        EXPECT_EQ(layout.dims.height, layout.rows + 2 * layout.packing.halo) << trace;
        EXPECT_GE(layout.packing.halo, plan.fused ? bothReaches : plan.reach) << trace;
    } else if (layout.kind == ChannelLayout::Kind::kPixels) {
        EXPECT_EQ(layout.rows, dims.height) << trace;
    }

    int32_t next = 0;
    for (int32_t c = 0; c < plan.Chunks(); ++c) {
        ASSERT_EQ(plan.ChunkSection(c), c / plan.chunksPerSection * layout.sectionPixels) << trace;
        ASSERT_EQ(plan.ChunkRow(c), next) << trace << ", chunk " << c;
        ASSERT_GT(plan.ChunkCount(c), 0) << trace << ", chunk " << c;
        next += plan.ChunkCount(c);
        if (next == layout.rows) next = 0;
    }
    EXPECT_EQ(next, 0) << trace;
    const bool rows = dims.width > 0 && layout.rows > 0;
    EXPECT_EQ(plan.Chunks() > 0, rows && layout.sections > 0) << trace;
    if (threads == 1 && rows) {
        EXPECT_EQ(plan.chunksPerSection, 1) << trace;
    }

    EXPECT_EQ(plan.chunkRows % kBandRows, 0) << trace;
    EXPECT_EQ(plan.bandRows % kBandRows, 0) << trace;
    EXPECT_LE(plan.bandRows, plan.fused ? kernels.schedule.ringBandRows : kernels.schedule.mostBandRows) << trace;
    if (plan.fused) {
        EXPECT_GE(plan.ringRows, std::min(layout.dims.height, plan.bandRows + 2 * windows.sharpen.Reach())) << trace;
    }
    for (const int32_t tile : {plan.patternTile, plan.sharpenTile}) {
        const int32_t align = kernels.schedule.tileAlign;
        EXPECT_EQ(tile % align, 0) << trace;
        const int64_t lineBytes = static_cast<int64_t>(tile) * plan.bandRows * sizeof(PixelF);
        EXPECT_TRUE(tile == align || lineBytes <= kernels.schedule.linesBytes) << trace;
    }
}

TEST(IterationPlan, EveryPlanIsSound) {
    const std::vector<PatternSettings> settings{Width(2.0f),
                                                Width(6.0f),
                                                Width(6.0f, kBlurBox),
                                                Width(80.0f),
                                                {kBlurGaussian, kGrayOff, 1, 0.0f, 0.0f, kAmount, false}};
    for (const BlurKernelSet* kernels : reference::RunnableKernels()) {
        for (const int32_t height : {1, 7, 33, 340, 1080}) {
            for (const int32_t width : {1, 21, 1920}) {
                for (const int32_t padding : {0, 3}) {
                    const ImageDims dims{width, height, width + padding};
                    for (int32_t planes = 0; planes <= kChannels; ++planes) {
                        for (int threads = 1; threads <= 3; ++threads) {
                            for (const PatternSettings& s : settings) {
                                const IterationPlan plan = PlanIteration(dims, planes, s, *kernels, threads);
                                ExpectSound(plan, dims, planes, s, *kernels, threads);
                                if (HasFailure()) return;
                            }
                        }
                    }
                }
            }
        }
    }
}

// The choices that measured fastest, which no picture's bits show: a lone
// thread packs planes but runs them in steps and takes each image whole; a
// team fuses planes and four channels alike, in whole rounds of chunks,
// two to each thread where they are tall enough;
// windows too wide for a ring of a few bands go in steps.
TEST(IterationPlan, TheMeasuredChoicesAtFullHd) {
    const BlurKernelSet& kernels = BestKernels();
    const IterationPlan lonePlanes = PlanIteration(kFullHd, 3, Width(6.0f), kernels, 1);
    EXPECT_EQ(lonePlanes.layout.kind, ChannelLayout::Kind::kPlanes) << ToString(lonePlanes);
    EXPECT_FALSE(lonePlanes.fused) << ToString(lonePlanes);
    EXPECT_EQ(lonePlanes.Chunks(), 3) << ToString(lonePlanes);

    for (const int32_t planes : {1, 3, 4}) {
        const IterationPlan team = PlanIteration(kFullHd, planes, Width(6.0f), kernels, 2);
        EXPECT_TRUE(team.fused) << ToString(team);
        EXPECT_EQ(team.layout.kind, planes < kChannels ? ChannelLayout::Kind::kPlanes : ChannelLayout::Kind::kPixels)
            << ToString(team);
        EXPECT_EQ(team.Chunks() % 2, 0) << ToString(team);
        EXPECT_GE(team.Chunks(), planes == kChannels ? 2 * 2 : 2) << ToString(team);
    }

    const IterationPlan tooWide =
        PlanIteration(kFullHd, 4, {kBlurGaussian, kGrayOff, 1, 28.0f, 26.0f, kAmount, false}, kernels, 2);
    EXPECT_FALSE(tooWide.fused) << ToString(tooWide);
}

}  // namespace
}  // namespace maculo
