#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

#include "plugin/GlobalData.h"
#include "tests/gpu/GpuTestSupport.h"

namespace maculo::test {

const minihost::PluginLibrary& Plugin() {
    static const auto* library = new minihost::PluginLibrary(MACULO_PLUGIN_PATH);
    return *library;
}

bool UseTestGpu(minihost::Host& host) {
    const GpuState* gpu = TestGpu();
    PF_Handle handle = host.InData().global_data;
    if (gpu == nullptr || handle == nullptr) return false;
    auto* global = static_cast<GlobalData*>(host.Handles().Peek(handle));
    // Renders only read the state.
    global->gpuState = const_cast<GpuState*>(gpu);
    return true;
}

PF_EffectWorld* SeededWorld(minihost::WorldSuite& worlds, A_long width, A_long height, int depth, A_long padding,
                            uint32_t seed) {
    PF_EffectWorld* world = worlds.MakeWorld(width, height, FormatOfDepth(depth), padding);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> real(-0.25f, 1.25f);
    auto* row = reinterpret_cast<unsigned char*>(world->data);
    for (A_long y = 0; y < height; ++y, row += world->rowbytes) {
        for (A_long c = 0; c < (width + padding) * 4; ++c) {
            if (depth == 8) {
                row[c] = uint8_t(random());
            } else if (depth == 16) {
                reinterpret_cast<uint16_t*>(row)[c] = uint16_t(random() % 32769);
            } else {
                reinterpret_cast<float*>(row)[c] = real(random);
            }
        }
    }
    return world;
}

std::vector<unsigned char> Bytes(const PF_EffectWorld& world) {
    const auto* data = reinterpret_cast<const unsigned char*>(world.data);
    return {data, data + size_t(world.rowbytes) * size_t(world.height)};
}

void ExpectEverythingGivenBack(minihost::Host& host) {
    EXPECT_EQ(host.Suites().Outstanding(), 0) << "suites acquired and not released";
    EXPECT_EQ(host.Handles().LockedCount(), 0u);
    const PF_Handle global = host.InData().global_data;
    EXPECT_EQ(host.Handles().LiveCount(), global != nullptr ? 1u : 0u) << "handles besides the global data";
    EXPECT_EQ(host.Worlds().LiveEffectWorlds(), 0u);
    EXPECT_EQ(host.Aegp().LiveEffects() + host.Aegp().LiveStreams(), 0u) << "effect or stream references kept";
    EXPECT_EQ(host.Params().OutstandingCheckouts(), 0u);
    const std::vector<std::string> misuses = host.Log().Misuses();
    EXPECT_TRUE(misuses.empty()) << misuses.front();
}

}  // namespace maculo::test
