#include <gtest/gtest.h>

#include <algorithm>

#include "minihost/EffectRef.h"
#include "minihost/WorldSuite.h"

namespace maculo::minihost {
namespace {

class WorldSuiteTest : public ::testing::Test {
protected:
    PF_Err New(PF_EffectWorld& world, A_long width, A_long height, PF_PixelFormat format, bool clear = true) {
        return suite.PF_NewWorld(TheEffectRef(), width, height, clear ? 1 : 0, format, &world);
    }

    Journal journal;
    WorldSuite worlds{journal};
    const PF_WorldSuite2& suite = *worlds.Table();
};

TEST_F(WorldSuiteTest, EffectWorldsInEveryDepthArePaddedAndTracked) {
    worlds.SetRowPadding(3);
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        PF_EffectWorld world{};
        ASSERT_EQ(New(world, 5, 2, format), PF_Err_NONE);
        const A_long pixelBytes = BytesPerPixel(format);
        EXPECT_EQ(world.width, 5);
        EXPECT_EQ(world.height, 2);
        EXPECT_EQ(world.rowbytes, 8 * pixelBytes);
        const auto* bytes = reinterpret_cast<const unsigned char*>(world.data);
        EXPECT_TRUE(std::all_of(bytes, bytes + 2 * world.rowbytes, [](unsigned char b) { return b == 0; }));

        PF_PixelFormat reported = 0;
        ASSERT_EQ(suite.PF_GetPixelFormat(&world, &reported), PF_Err_NONE);
        EXPECT_EQ(reported, format);
        EXPECT_EQ(worlds.LiveEffectWorlds(), 1u);
        ASSERT_EQ(suite.PF_DisposeWorld(TheEffectRef(), &world), PF_Err_NONE);
        EXPECT_EQ(world.data, nullptr);
        EXPECT_EQ(worlds.LiveEffectWorlds(), 0u);
    }
    worlds.SetRowPadding(0);
    PF_EffectWorld tight{};
    ASSERT_EQ(New(tight, 5, 2, PF_PixelFormat_ARGB128), PF_Err_NONE);
    EXPECT_EQ(tight.rowbytes, 5 * 16);
    EXPECT_TRUE(journal.Misuses().empty());
}

TEST_F(WorldSuiteTest, UnclearedWorldsDoNotStartAtZero) {
    PF_EffectWorld world{};
    ASSERT_EQ(New(world, 1, 1, PF_PixelFormat_ARGB32, false), PF_Err_NONE);
    EXPECT_NE(reinterpret_cast<const unsigned char*>(world.data)[0], 0);
}

TEST_F(WorldSuiteTest, RefusesWhatTheHostWouldRefuse) {
    PF_EffectWorld world{};
    EXPECT_NE(New(world, 4, 4, PF_PixelFormat_INVALID), PF_Err_NONE);
    EXPECT_NE(New(world, -1, 4, PF_PixelFormat_ARGB32), PF_Err_NONE);
    EXPECT_NE(suite.PF_NewWorld(nullptr, 4, 4, 1, PF_PixelFormat_ARGB32, &world), PF_Err_NONE);
    EXPECT_EQ(New(world, 1 << 20, 1 << 20, PF_PixelFormat_ARGB128), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(worlds.LiveEffectWorlds(), 0u);

    PF_EffectWorld* layer = worlds.MakeWorld(2, 2, PF_PixelFormat_ARGB32);
    EXPECT_NE(suite.PF_DisposeWorld(TheEffectRef(), layer), PF_Err_NONE) << "the host's own world";
    ASSERT_EQ(New(world, 2, 2, PF_PixelFormat_ARGB32), PF_Err_NONE);
    PF_EffectWorld copy = world;
    ASSERT_EQ(suite.PF_DisposeWorld(TheEffectRef(), &world), PF_Err_NONE);
    EXPECT_NE(suite.PF_DisposeWorld(TheEffectRef(), &copy), PF_Err_NONE) << "disposed twice";
    EXPECT_EQ(journal.Misuses().size(), 5u);
}

TEST_F(WorldSuiteTest, FailureInjectedAtTheKthNewWorld) {
    worlds.FailNewWorld(2, PF_Err_OUT_OF_MEMORY);
    PF_EffectWorld a{}, b{}, c{};
    EXPECT_EQ(New(a, 3, 3, PF_PixelFormat_ARGB128), PF_Err_NONE);
    EXPECT_EQ(New(b, 3, 3, PF_PixelFormat_ARGB128), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(New(c, 3, 3, PF_PixelFormat_ARGB128), PF_Err_NONE);
    EXPECT_EQ(worlds.LiveEffectWorlds(), 2u);
    ASSERT_EQ(worlds.Requests().size(), 3u);
    EXPECT_EQ(worlds.Requests()[1].format, PF_PixelFormat_ARGB128);
}

TEST_F(WorldSuiteTest, HostWorldsReportTheirFormatOrWhatTheHostSays) {
    PF_EffectWorld* output = worlds.MakeWorld(4, 2, PF_PixelFormat_ARGB64, 2);
    EXPECT_EQ(output->rowbytes, 6 * 8);
    PF_PixelFormat format = 0;
    ASSERT_EQ(suite.PF_GetPixelFormat(output, &format), PF_Err_NONE);
    EXPECT_EQ(format, PF_PixelFormat_ARGB64);

    worlds.ReportFormatAs(output, PF_PixelFormat_INVALID);
    ASSERT_EQ(suite.PF_GetPixelFormat(output, &format), PF_Err_NONE);
    EXPECT_EQ(format, PF_PixelFormat_INVALID);

    worlds.FailGetPixelFormat(1, 7);
    EXPECT_EQ(suite.PF_GetPixelFormat(output, &format), 7);
    PF_EffectWorld stranger{};
    EXPECT_NE(suite.PF_GetPixelFormat(&stranger, &format), PF_Err_NONE);
    EXPECT_EQ(worlds.LiveEffectWorlds(), 0u) << "host worlds are not the effect's";
}

}  // namespace
}  // namespace maculo::minihost
