// Eight frames through EffectMain on eight threads at once, as the host's
// multi-frame rendering sends them: different times (the controls are
// animated), depths, sizes, row paddings and resolutions, on the processor
// and on the OpenCL path. Each must come out exactly as when rendered alone.
// The thread-sanitizer build runs this too.
#include <gtest/gtest.h>

#include <cstring>
#include <latch>
#include <thread>
#include <vector>

#include "engine/PatternTypes.h"
#include "minihost/EffectSession.h"
#include "tests/TestSupport.h"

namespace maculo {
namespace {

struct FrameSpec {
    A_long time;
    int depth;
    A_long width, height, padding;
    A_u_long downsample;
    PF_GPU_Framework gpu;
};

constexpr FrameSpec kFrames[] = {
    {0, 8, 19, 13, 0, 1, PF_GPU_Framework_NONE},  {1, 16, 16, 16, 3, 2, PF_GPU_Framework_OPENCL},
    {2, 32, 23, 11, 1, 1, PF_GPU_Framework_NONE}, {3, 8, 12, 17, 2, 1, PF_GPU_Framework_OPENCL},
    {4, 16, 21, 14, 0, 1, PF_GPU_Framework_NONE}, {5, 32, 15, 15, 5, 2, PF_GPU_Framework_OPENCL},
    {6, 8, 18, 12, 1, 2, PF_GPU_Framework_METAL}, {7, 32, 20, 16, 0, 1, PF_GPU_Framework_CUDA},
};
constexpr size_t kCount = std::size(kFrames);

TEST(ConcurrentFrames, EightFramesAtOnceEachEqualTheFrameRenderedAlone) {
    static auto* session = new minihost::EffectSession(MACULO_PLUGIN_PATH);  // kept, as a host keeps its plug-ins
    minihost::Host& host = session->GetHost();
    const bool gpu = test::UseTestGpu(host);
    for (const FrameSpec& frame : kFrames) {  // every frame time has controls of its own
        host.Params().SetValueAt(kParamBlur, frame.time, frame.time % 2 == 0 ? kBlurGaussian : kBlurBox);
        host.Params().SetValueAt(kParamGray, frame.time, 1 + frame.time % 3);
        host.Params().SetValueAt(kParamWidth, frame.time, 2.0 + 0.75 * frame.time);
        host.Params().SetValueAt(kParamAmount, frame.time, 2 + frame.time % 3);
    }
    std::vector<PF_EffectWorld*> layers, outputs;
    const auto render = [&](size_t i) {
        const FrameSpec& s = kFrames[i];
        return session->RenderFrameAt(s.time, s.downsample, *layers[i], *outputs[i], int16_t(s.depth), s.gpu);
    };
    std::vector<std::vector<unsigned char>> blank, alone;
    for (size_t i = 0; i < kCount; ++i) {
        const FrameSpec& s = kFrames[i];
        layers.push_back(test::SeededWorld(host.Worlds(), s.width, s.height, s.depth, s.padding, uint32_t(i + 1)));
        outputs.push_back(test::SeededWorld(host.Worlds(), s.width, s.height, s.depth, s.padding + 1, 0));
        blank.push_back(test::Bytes(*outputs[i]));
        ASSERT_EQ(render(i), PF_Err_NONE) << "frame " << i;
        alone.push_back(test::Bytes(*outputs[i]));
        EXPECT_TRUE(alone[i] != blank[i]) << "frame " << i << " drew nothing";
    }

    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < kCount; ++i) std::memcpy(outputs[i]->data, blank[i].data(), blank[i].size());
        const size_t requests = host.Worlds().Requests().size();
        std::vector<PF_Err> codes(kCount, -1);
        std::latch start(kCount);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < kCount; ++i) {
            threads.emplace_back([&, i] {
                start.arrive_and_wait();
                codes[i] = render(i);
            });
        }
        for (std::thread& thread : threads) thread.join();

        size_t expectedRequests = 0;
        for (size_t i = 0; i < kCount; ++i) {
            SCOPED_TRACE("round " + std::to_string(round) + ", frame " + std::to_string(i));
            EXPECT_EQ(codes[i], PF_Err_NONE);
            EXPECT_TRUE(test::Bytes(*outputs[i]) == alone[i]) << "differs from the frame rendered alone";
            // The OpenCL path needs two working images, the processor three.
            const bool onGpu = kFrames[i].gpu == PF_GPU_Framework_OPENCL || kFrames[i].gpu == PF_GPU_Framework_CUDA;
            expectedRequests += gpu && onGpu ? 2 : 3;
        }
        EXPECT_EQ(host.Worlds().Requests().size() - requests, expectedRequests);
    }

    test::ExpectEverythingGivenBack(host);
}

}  // namespace
}  // namespace maculo
