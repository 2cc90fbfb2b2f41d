#include <gtest/gtest.h>

#include <stdexcept>

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

// Padded rows and garbage in uncleared worlds are what make the frame tests
// notice an effect confusing pitch with width or reading unwritten pixels.
TEST_F(WorldSuiteTest, WorldsArePaddedUnclearedWhenAskedAndTracked) {
    for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        PF_EffectWorld world{};
        ASSERT_EQ(New(world, 5, 2, format, false), PF_Err_NONE);
        EXPECT_GT(world.rowbytes, 5 * BytesPerPixel(format));
        EXPECT_NE(reinterpret_cast<const unsigned char*>(world.data)[0], 0);
        EXPECT_EQ(worlds.LiveEffectWorlds(), 1u);
        ASSERT_EQ(suite.PF_DisposeWorld(TheEffectRef(), &world), PF_Err_NONE);
        EXPECT_EQ(worlds.LiveEffectWorlds(), 0u);
    }
    EXPECT_EQ(worlds.MakeWorld(4, 2, PF_PixelFormat_ARGB64, 2)->rowbytes, 6 * 8);
    EXPECT_TRUE(journal.Misuses().empty());
}

TEST_F(WorldSuiteTest, FailsExactlyTheKthNewWorldAndNotesForeignDisposals) {
    worlds.FailNewWorld(2, PF_Err_OUT_OF_MEMORY);
    PF_EffectWorld a{}, b{}, c{};
    EXPECT_EQ(New(a, 3, 3, PF_PixelFormat_ARGB128), PF_Err_NONE);
    EXPECT_EQ(New(b, 3, 3, PF_PixelFormat_ARGB128), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(New(c, 3, 3, PF_PixelFormat_ARGB128), PF_Err_NONE);
    EXPECT_EQ(worlds.LiveEffectWorlds(), 2u);
    EXPECT_EQ(worlds.Requests().size(), 3u);

    PF_EffectWorld* layer = worlds.MakeWorld(2, 2, PF_PixelFormat_ARGB32);
    EXPECT_NE(suite.PF_DisposeWorld(TheEffectRef(), layer), PF_Err_NONE) << "the host's own world";
    EXPECT_THROW(worlds.DisposeHostWorld(&c), std::invalid_argument) << "the effect's world is the effect's to dispose";
    const PF_EffectWorld kept = *layer;
    worlds.DisposeHostWorld(layer);
    PF_PixelFormat format = 0;
    EXPECT_NE(suite.PF_GetPixelFormat(&kept, &format), PF_Err_NONE) << "gone once the host disposed of it";
    PF_EffectWorld copy = a;
    ASSERT_EQ(suite.PF_DisposeWorld(TheEffectRef(), &a), PF_Err_NONE);
    EXPECT_NE(suite.PF_DisposeWorld(TheEffectRef(), &copy), PF_Err_NONE) << "disposed twice";
    EXPECT_EQ(worlds.LiveEffectWorlds(), 1u);
    EXPECT_EQ(journal.Misuses().size(), 3u);
}

}  // namespace
}  // namespace maculo::minihost
