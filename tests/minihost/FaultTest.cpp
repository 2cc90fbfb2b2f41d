// The switch that makes the k-th host call fail, and what the host counts as
// taken or given back after such a failure: the effect's tests judge the
// effect by those counts.
#include <gtest/gtest.h>

#include "minihost/EffectRef.h"
#include "minihost/Host.h"

namespace maculo::minihost {
namespace {

TEST(Journal, ThePlannedCallFailsOnlyInAWayItCan) {
    Journal journal;
    journal.PlanFault(2, Fault::kEmpty);
    EXPECT_EQ(journal.Call("a", kCanErrorOrBeEmpty), Fault::kNone);
    EXPECT_EQ(journal.Call("b", kCanErrorOrBeEmpty), Fault::kEmpty);
    EXPECT_EQ(journal.Call("c", kCanErrorOrBeEmpty), Fault::kNone) << "one call only";

    journal.Clear();
    journal.PlanFault(1, Fault::kEmpty);
    EXPECT_EQ(journal.Call("d", kCanError), Fault::kNone) << "this call cannot come back empty";
    journal.Clear();
    EXPECT_EQ(journal.Call("e", kCanError), Fault::kNone) << "clearing forgets the plan";
    journal.PlanFault(1, Fault::kError);
    EXPECT_EQ(journal.Call("f", kCanError), Fault::kNone) << "counting starts at the last clear";
    ASSERT_EQ(journal.Records().size(), 2u);
    EXPECT_TRUE(journal.Records()[1].canFail.error);
    EXPECT_FALSE(journal.Records()[1].canFail.empty);
}

// A failed acquisition takes nothing; a give-back that answers an error
// still gives back, since the effect can do no more than ask.
TEST(HostFault, FailedAcquisitionsTakeNothingAndFailedGiveBacksStillCount) {
    Host host;
    const auto failNext = [&](Fault how) { host.Log().PlanFault(host.Log().Calls().size() + 1, how); };

    const SPBasicSuite& basic = *host.InData().pica_basicP;
    const void* suite = &host;
    failNext(Fault::kEmpty);
    EXPECT_EQ(basic.AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite), 0);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(host.Suites().Acquired(kPFWorldSuite, kPFWorldSuiteVersion2), 0);
    ASSERT_EQ(basic.AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite), 0);
    failNext(Fault::kError);
    EXPECT_EQ(basic.ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2), kSuiteUnavailable);
    EXPECT_EQ(host.Suites().Outstanding(), 0);

    const PF_WorldSuite2& worlds = *host.Worlds().Table();
    PF_EffectWorld world{};
    ASSERT_EQ(worlds.PF_NewWorld(TheEffectRef(), 2, 2, 0, PF_PixelFormat_ARGB128, &world), PF_Err_NONE);
    failNext(Fault::kError);
    EXPECT_EQ(worlds.PF_DisposeWorld(TheEffectRef(), &world), kInjectedError);
    EXPECT_EQ(host.Worlds().LiveEffectWorlds(), 0u);

    const AEGP_PFInterfaceSuite1& pf = *host.Aegp().PFInterface();
    AEGP_EffectRefH effect = nullptr;
    ASSERT_EQ(pf.AEGP_GetNewEffectForEffect(1, TheEffectRef(), &effect), A_Err_NONE);
    AEGP_StreamRefH stream = reinterpret_cast<AEGP_StreamRefH>(&host);
    failNext(Fault::kEmpty);
    EXPECT_EQ(host.Aegp().Stream()->AEGP_GetNewEffectStreamByIndex(1, effect, 4, &stream), A_Err_NONE);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(host.Aegp().LiveStreams(), 0u);
    failNext(Fault::kError);
    EXPECT_EQ(host.Aegp().Effect()->AEGP_DisposeEffect(effect), kInjectedError);
    EXPECT_EQ(host.Aegp().LiveEffects(), 0u);

    PF_ParamDef def{};
    def.param_type = PF_Param_FLOAT_SLIDER;
    ASSERT_EQ(host.InData().inter.add_param(TheEffectRef(), PF_ParamIndex_NONE, &def), PF_Err_NONE);
    ASSERT_EQ(host.InData().inter.checkout_param(TheEffectRef(), 1, 0, 1, 24, &def), PF_Err_NONE);
    failNext(Fault::kError);
    EXPECT_EQ(host.InData().inter.checkin_param(TheEffectRef(), &def), kInjectedError);
    EXPECT_EQ(host.Params().OutstandingCheckouts(), 0u);

    PF_EffectWorld* layer = host.Worlds().MakeWorld(2, 2, PF_PixelFormat_ARGB32);
    Frame frame(host.Render(), Frame::WholeFrame(2, 2), PF_GPU_Framework_NONE, 8, FrameWorlds{layer, layer});
    PF_CheckoutResult checkout{};
    ASSERT_EQ(frame.PreRenderExtra()->cb->checkout_layer(frame.EffectRef(), 0, 0,
                                                         &frame.PreRenderExtra()->input->output_request, 0, 1, 24,
                                                         &checkout),
              PF_Err_NONE);
    const PF_SmartRenderCallbacks& cb = *frame.RenderExtra()->cb;
    PF_EffectWorld* pixels = layer;
    failNext(Fault::kEmpty);
    EXPECT_EQ(cb.checkout_layer_pixels(frame.EffectRef(), 0, &pixels), PF_Err_NONE);
    EXPECT_EQ(pixels, nullptr);
    EXPECT_EQ(host.Render().PixelCheckouts(), 0);
    failNext(Fault::kError);
    EXPECT_EQ(cb.checkin_layer_pixels(frame.EffectRef(), 0), kInjectedError);
    EXPECT_EQ(host.Render().PixelCheckins(), 1);
    EXPECT_TRUE(host.Log().Misuses().empty());
}

}  // namespace
}  // namespace maculo::minihost
