// What the plug-in's tests trust and never see fail: whatever an effect keeps
// or gives back wrongly shows in our host as something outstanding or as a
// misuse, and the worlds it gets hold garbage where it must write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <tuple>
#include <utility>

#include "minihost/EffectRef.h"
#include "minihost/Host.h"

namespace maculo::minihost {
namespace {

const PF_ProgPtr kRef = TheEffectRef();

// A stray give-back is noted and never nets against a leak.
TEST(HostBookkeeping, SuitesAndHandlesMisusedAreNotedAndNothingNets) {
    Host host;
    const SPBasicSuite& basic = *host.InData().pica_basicP;
    const void* suite = nullptr;
    ASSERT_EQ(basic.AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite), 0);
    EXPECT_NE(basic.ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion1), 0);
    EXPECT_EQ(host.Suites().Outstanding(), 1);

    const PF_HandleSuite1& handles = *host.Handles().Table();
    PF_Handle h = handles.host_new_handle(8);
    handles.host_unlock_handle(h);  // never locked
    int local = 0;
    void* foreign = &local;
    EXPECT_EQ(handles.host_lock_handle(&foreign), nullptr);
    EXPECT_NE(handles.host_lock_handle(h), nullptr);
    EXPECT_EQ(host.Handles().LockedCount(), 1u);
    handles.host_dispose_handle(h);  // still locked
    handles.host_dispose_handle(h);  // already gone
    EXPECT_EQ(host.Handles().LiveCount(), 0u);
    EXPECT_EQ(host.Log().Misuses().size(), 5u);
}

// Uncleared worlds hold garbage and padded rows, so that an effect reading
// pixels it never wrote, or confusing pitch with width, shows.
TEST(HostBookkeeping, WorldsAreUnclearedPaddedAndTheEffectsOwnToDispose) {
    Host host;
    const PF_WorldSuite2& suite = *host.Worlds().Table();
    PF_EffectWorld world{};
    ASSERT_EQ(suite.PF_NewWorld(kRef, 5, 2, 0, PF_PixelFormat_ARGB128, &world), PF_Err_NONE);
    EXPECT_GT(world.rowbytes, 5 * 16);
    EXPECT_NE(reinterpret_cast<const unsigned char*>(world.data)[0], 0);
    EXPECT_EQ(host.Worlds().LiveEffectWorlds(), 1u);
    PF_EffectWorld copy = world;
    ASSERT_EQ(suite.PF_DisposeWorld(kRef, &world), PF_Err_NONE);
    EXPECT_NE(suite.PF_DisposeWorld(kRef, &copy), PF_Err_NONE) << "disposed twice";
    EXPECT_NE(suite.PF_DisposeWorld(kRef, host.Worlds().MakeWorld(2, 2, PF_PixelFormat_ARGB32)), PF_Err_NONE)
        << "the host's own world";
    EXPECT_EQ(host.Worlds().LiveEffectWorlds(), 0u);
    EXPECT_EQ(host.Log().Misuses().size(), 2u);
}

// The memory of a disposed world serves the next request of its size,
// marked or cleared again as fresh memory would be; without the marker it
// holds what it held. What is kept never exceeds the most ever in use.
TEST(HostBookkeeping, DisposedWorldsMemoryIsReusedRefilledAndBounded) {
    Host host;
    const PF_WorldSuite2& suite = *host.Worlds().Table();
    PF_EffectWorld world{};
    const auto make = [&](A_long width, PF_Boolean clear) {
        EXPECT_EQ(suite.PF_NewWorld(kRef, width, 3, clear, PF_PixelFormat_ARGB128, &world), PF_Err_NONE);
        return std::span(reinterpret_cast<unsigned char*>(world.data), size_t(world.rowbytes) * 3);
    };
    const auto allAre = [](std::span<unsigned char> bytes, unsigned char value) {
        return std::ranges::all_of(bytes, [&](unsigned char b) { return b == value; });
    };
    std::span<unsigned char> bytes = make(6, 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes.data()) % kWorldAlignment, 0u);
    const unsigned char* const first = bytes.data();
    using Case = std::tuple<PF_Boolean, bool, unsigned char>;
    for (const auto& [clear, mark, expected] :
         {Case{0, true, kUnwrittenByte}, Case{1, true, 0}, Case{0, false, 0x11}}) {
        std::ranges::fill(bytes, 0x11);
        ASSERT_EQ(suite.PF_DisposeWorld(kRef, &world), PF_Err_NONE);
        EXPECT_EQ(host.Worlds().KeptBytes(), bytes.size());
        host.Worlds().SetMarkUnwritten(mark);
        bytes = make(6, clear);
        EXPECT_EQ(bytes.data(), first);
        EXPECT_TRUE(allAre(bytes, expected)) << "cleared " << int(clear) << ", marked " << mark;
        EXPECT_EQ(host.Worlds().KeptBytes(), 0u);
    }
    ASSERT_EQ(suite.PF_DisposeWorld(kRef, &world), PF_Err_NONE);
    // Another size gets memory of its own, and the kept block goes.
    bytes = make(7, 0);
    EXPECT_NE(bytes.data(), first);
    EXPECT_EQ(host.Worlds().KeptBytes(), 0u);
    ASSERT_EQ(suite.PF_DisposeWorld(kRef, &world), PF_Err_NONE);
    EXPECT_EQ(host.Worlds().KeptBytes(), bytes.size());
    EXPECT_TRUE(host.Log().Misuses().empty());
}

// A checkout is outstanding until its own record comes back, once; a
// give-back that answers an error still gives back, since the effect can do
// no more than ask. Frames at different times see their own keyframes.
TEST(HostBookkeeping, ControlsAreOutstandingUntilTheirOwnRecordReturns) {
    Host host;
    PF_InteractCallbacks& inter = host.InData().inter;
    PF_ParamDef def{};
    def.param_type = PF_Param_FLOAT_SLIDER;
    ASSERT_EQ(inter.add_param(kRef, PF_ParamIndex_NONE, &def), PF_Err_NONE);
    host.Params().SetValueAt(1, 10, 42.0);
    host.Params().SetValue(1, 7.0);
    PF_ParamDef atKey{}, elsewhere{}, never{};
    ASSERT_EQ(inter.checkout_param(kRef, 1, 10, 1, 24, &atKey), PF_Err_NONE);
    ASSERT_EQ(inter.checkout_param(kRef, 1, 11, 1, 24, &elsewhere), PF_Err_NONE);
    EXPECT_EQ(std::make_pair(atKey.u.fs_d.value, elsewhere.u.fs_d.value), std::make_pair(42.0, 7.0));
    EXPECT_NE(inter.checkin_param(kRef, &never), PF_Err_NONE);
    EXPECT_EQ(inter.checkin_param(kRef, &atKey), PF_Err_NONE);
    EXPECT_NE(inter.checkin_param(kRef, &atKey), PF_Err_NONE) << "the same record twice";
    host.Log().PlanFault(host.Log().Calls().size() + 1, Fault::kError);
    EXPECT_EQ(inter.checkin_param(kRef, &elsewhere), kInjectedError);
    EXPECT_EQ(host.Params().OutstandingCheckouts(), 0u);
    EXPECT_EQ(host.Log().Misuses().size(), 2u);
}

// Each frame serves only its own worlds, and only the ids it checked out at
// pre-render; its pre-render data goes back once, rendered or not.
TEST(HostBookkeeping, FramesServeOnlyTheirOwnCheckoutsAndDeleteTheirDataOnce) {
    static int deletions = 0;
    Host host;
    PF_EffectWorld* layer = host.Worlds().MakeWorld(8, 6, PF_PixelFormat_ARGB32);
    PF_EffectWorld* other = host.Worlds().MakeWorld(3, 3, PF_PixelFormat_ARGB32);
    PF_EffectWorld* pixels = nullptr;
    {
        Frame first(host.Render(), Frame::WholeFrame(8, 6), PF_GPU_Framework_NONE, 8, FrameWorlds{layer, layer});
        Frame second(host.Render(), Frame::WholeFrame(3, 3), PF_GPU_Framework_NONE, 8, FrameWorlds{other, other});
        PF_PreRenderExtra& pre = *second.PreRenderExtra();
        PF_CheckoutResult result{};
        ASSERT_EQ(pre.cb->checkout_layer(second.EffectRef(), 0, 0, &pre.input->output_request, 0, 1, 24, &result),
                  PF_Err_NONE);
        pre.output->pre_render_data = &deletions;
        pre.output->delete_pre_render_data_func = [](void* data) { ++*static_cast<int*>(data); };
        const PF_SmartRenderCallbacks& cb = *second.RenderExtra()->cb;
        EXPECT_NE(cb.checkout_layer_pixels(first.EffectRef(), 0, &pixels), PF_Err_NONE) << "not checked out";
        EXPECT_NE(cb.checkout_layer_pixels(second.EffectRef(), 3, &pixels), PF_Err_NONE) << "an unknown id";
        ASSERT_EQ(cb.checkout_layer_pixels(second.EffectRef(), 0, &pixels), PF_Err_NONE);
        EXPECT_EQ(pixels, other);
        second.ReleasePreRenderData();
    }
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(host.Log().Misuses().size(), 2u);
}

}  // namespace
}  // namespace maculo::minihost
