#include "engine/IterationPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/BlurKernels.h"
#include "tests/engine/ReferencePattern.h"

namespace maculo {
namespace {

constexpr float kAmount = 20.02654f;

// "Width" w at full resolution.
PatternSettings Width(float w, int32_t mode = kBlurGaussian) {
    return {mode, kGrayOff, 1, w / 2.8368f, w / 2.8368f, kAmount, false};
}

// What the parity tests cannot see on their small pictures, for pictures up
// to full HD: packed planes fit the working images and hold the rows the
// windows read past each lane, the chunks compute every row of every
// section once, and a fused pass's ring holds every row a band's windows read.
void ExpectSound(const IterationPlan& plan, const ImageDims& dims, const PatternSettings& settings) {
    const std::string trace = ToString(plan);
    const ChannelLayout& layout = plan.layout;
    const IterationWindows windows = WindowsOf(settings);
    if (layout.kind == ChannelLayout::Kind::kPlanes) {
        EXPECT_LE(layout.sections * layout.sectionPixels, static_cast<int64_t>(dims.pitch) * dims.height) << trace;
        EXPECT_GE(layout.packing.halo, plan.fused ? windows.pattern.Reach() + windows.sharpen.Reach() : plan.reach)
            << trace;
    }
    if (plan.fused) {
        EXPECT_GE(plan.ringRows, std::min(layout.dims.height, plan.bandRows + 2 * windows.sharpen.Reach())) << trace;
    }
    int32_t next = 0;
    for (int32_t c = 0; c < plan.Chunks(); ++c) {
        ASSERT_EQ(plan.ChunkRow(c), next) << trace << ", chunk " << c;
        ASSERT_GT(plan.ChunkCount(c), 0) << trace << ", chunk " << c;
        next += plan.ChunkCount(c);
        if (next == layout.rows) next = 0;
    }
    EXPECT_EQ(next, 0) << trace;
}

TEST(IterationPlan, EveryPlanIsSound) {
    const PatternSettings settings[] = {Width(2.0f), Width(6.0f), Width(6.0f, kBlurBox), Width(80.0f), Width(0.0f)};
    for (const BlurKernelSet* kernels : reference::RunnableKernels()) {
        for (const int32_t height : {1, 7, 33, 340, 1080}) {
            for (const int32_t width : {1, 21, 1920}) {
                for (const int32_t padding : {0, 3}) {
                    const ImageDims dims{width, height, width + padding};
                    for (int32_t planes = 0; planes <= kChannels; ++planes) {
                        for (int threads = 1; threads <= 3; ++threads) {
                            for (const PatternSettings& s : settings) {
                                ExpectSound(PlanIteration(dims, planes, s, *kernels, threads), dims, s);
                                if (HasFailure()) return;
                            }
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace maculo
