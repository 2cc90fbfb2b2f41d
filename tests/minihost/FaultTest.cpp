// The switch that makes the k-th host call fail, and how each part of the
// host acts the fault out: what the effect gets back and what the host then
// counts as taken or given back.
#include <gtest/gtest.h>

#include "minihost/EffectRef.h"
#include "minihost/Host.h"
#include "minihost/PluginLibrary.h"

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
    journal.PlanFault(2, Fault::kError);
    EXPECT_EQ(journal.Call("e", kCannotFail), Fault::kNone);

    journal.Clear();
    EXPECT_EQ(journal.Call("f", kCanError), Fault::kNone) << "clearing forgets the plan";
    journal.PlanFault(1, Fault::kError);
    EXPECT_EQ(journal.Call("g", kCanError), Fault::kNone) << "counting starts at the last clear";
    const std::vector<RecordedCall> records = journal.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].entry, "g");
    EXPECT_TRUE(records[1].canFail.error);
    EXPECT_FALSE(records[1].canFail.empty);
}

// One host per test; the next call into it fails as `how`.
class HostFault : public ::testing::Test {
protected:
    void FailNext(Fault how) { host.Log().PlanFault(host.Log().Calls().size() + 1, how); }
    const SPBasicSuite& basic() { return *host.InData().pica_basicP; }
    const PF_HandleSuite1& handles() { return *host.Handles().Table(); }
    const PF_WorldSuite2& worlds() { return *host.Worlds().Table(); }

    Host host;
};

TEST_F(HostFault, SuitesAreRefusedOrComeBackEmptyWithoutCountingAndReleasesStillCount) {
    const void* suite = &host;
    FailNext(Fault::kError);
    EXPECT_EQ(basic().AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite), kSuiteUnavailable);
    EXPECT_EQ(suite, nullptr);
    FailNext(Fault::kEmpty);
    EXPECT_EQ(basic().AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite), 0);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(host.Suites().Acquired(kPFWorldSuite, kPFWorldSuiteVersion2), 0);

    ASSERT_EQ(basic().AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite), 0);
    FailNext(Fault::kError);
    EXPECT_EQ(basic().ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2), kSuiteUnavailable);
    EXPECT_EQ(host.Suites().Outstanding(), 0) << "the effect did release it";
    EXPECT_TRUE(host.Log().Misuses().empty());
}

TEST_F(HostFault, HandlesAndWorldsComeBackEmptyOrRefusedAndDisposalsStillCount) {
    FailNext(Fault::kEmpty);
    EXPECT_EQ(handles().host_new_handle(8), nullptr);
    EXPECT_EQ(host.Handles().LiveCount(), 0u);
    PF_Handle handle = handles().host_new_handle(8);
    FailNext(Fault::kEmpty);
    EXPECT_EQ(handles().host_lock_handle(handle), nullptr);
    EXPECT_EQ(host.Handles().LockCount(handle), 0);

    PF_EffectWorld world{};
    FailNext(Fault::kError);
    EXPECT_EQ(worlds().PF_NewWorld(TheEffectRef(), 2, 2, 0, PF_PixelFormat_ARGB128, &world), kInjectedError);
    EXPECT_EQ(host.Worlds().LiveEffectWorlds(), 0u);
    ASSERT_EQ(worlds().PF_NewWorld(TheEffectRef(), 2, 2, 0, PF_PixelFormat_ARGB128, &world), PF_Err_NONE);
    FailNext(Fault::kError);
    EXPECT_EQ(worlds().PF_DisposeWorld(TheEffectRef(), &world), kInjectedError);
    EXPECT_EQ(host.Worlds().LiveEffectWorlds(), 0u) << "the effect did dispose of it";
    EXPECT_TRUE(host.Log().Misuses().empty());
}

TEST_F(HostFault, AegpReferencesComeBackEmptyOrRefusedAndDisposalsStillCount) {
    const AEGP_PFInterfaceSuite1& pf = *host.Aegp().PFInterface();
    AEGP_EffectRefH effect = reinterpret_cast<AEGP_EffectRefH>(&host);
    FailNext(Fault::kEmpty);
    EXPECT_EQ(pf.AEGP_GetNewEffectForEffect(1, TheEffectRef(), &effect), A_Err_NONE);
    EXPECT_EQ(effect, nullptr);
    FailNext(Fault::kError);
    EXPECT_EQ(pf.AEGP_GetNewEffectForEffect(1, TheEffectRef(), &effect), kInjectedError);
    EXPECT_EQ(host.Aegp().LiveEffects(), 0u);

    ASSERT_EQ(pf.AEGP_GetNewEffectForEffect(1, TheEffectRef(), &effect), A_Err_NONE);
    AEGP_StreamRefH stream = nullptr;
    FailNext(Fault::kEmpty);
    EXPECT_EQ(host.Aegp().Stream()->AEGP_GetNewEffectStreamByIndex(1, effect, 4, &stream), A_Err_NONE);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(host.Aegp().LiveStreams(), 0u);
    FailNext(Fault::kError);
    EXPECT_EQ(host.Aegp().Effect()->AEGP_DisposeEffect(effect), kInjectedError);
    EXPECT_EQ(host.Aegp().LiveEffects(), 0u) << "the effect did dispose of it";
    FailNext(Fault::kError);
    AEGP_PluginID id = 0;
    EXPECT_EQ(host.Aegp().Utility()->AEGP_RegisterWithAEGP(nullptr, "x", &id), kInjectedError);
    EXPECT_TRUE(host.Aegp().RegisteredNames().empty());
    EXPECT_TRUE(host.Log().Misuses().empty());
}

TEST_F(HostFault, FrameCallbacksRefuseOrComeBackEmptyAndCheckinsStillCount) {
    PF_EffectWorld* layer = host.Worlds().MakeWorld(2, 2, PF_PixelFormat_ARGB32);
    Frame frame(host.Render(), Frame::WholeFrame(2, 2), PF_GPU_Framework_NONE, 8, FrameWorlds{layer, layer});
    const PF_ProgPtr ref = frame.EffectRef();
    PF_CheckoutResult checkout{};
    FailNext(Fault::kError);
    EXPECT_EQ(frame.PreRenderExtra()->cb->checkout_layer(ref, 0, 0, &frame.PreRenderExtra()->input->output_request,
                                                         0, 1, 24, &checkout),
              kInjectedError);
    ASSERT_EQ(frame.PreRenderExtra()->cb->checkout_layer(ref, 0, 0, &frame.PreRenderExtra()->input->output_request,
                                                         0, 1, 24, &checkout),
              PF_Err_NONE);

    const PF_SmartRenderCallbacks& cb = *frame.RenderExtra()->cb;
    PF_EffectWorld* pixels = layer;
    FailNext(Fault::kEmpty);
    EXPECT_EQ(cb.checkout_layer_pixels(ref, 0, &pixels), PF_Err_NONE);
    EXPECT_EQ(pixels, nullptr);
    FailNext(Fault::kEmpty);
    EXPECT_EQ(cb.checkout_output(ref, &pixels), PF_Err_NONE);
    EXPECT_EQ(pixels, nullptr);
    EXPECT_EQ(host.Render().PixelCheckouts() + host.Render().OutputCheckouts(), 0);
    FailNext(Fault::kError);
    EXPECT_EQ(cb.checkin_layer_pixels(ref, 0), kInjectedError);
    EXPECT_EQ(host.Render().PixelCheckins(), 1);

    FailNext(Fault::kError);
    EXPECT_EQ(host.InData().inter.progress(ref, 1, 2), kInjectedError);
    EXPECT_TRUE(host.Log().Misuses().empty());
}

TEST_F(HostFault, ParametersAndRegistrationAreRefused) {
    PF_ParamDef def{};
    def.param_type = PF_Param_FLOAT_SLIDER;
    FailNext(Fault::kError);
    EXPECT_EQ(host.InData().inter.add_param(TheEffectRef(), PF_ParamIndex_NONE, &def), kInjectedError);
    EXPECT_EQ(host.Params().ParamCount(), 1) << "the layer alone";
    ASSERT_EQ(host.InData().inter.add_param(TheEffectRef(), PF_ParamIndex_NONE, &def), PF_Err_NONE);

    FailNext(Fault::kError);
    EXPECT_EQ(host.InData().inter.checkout_param(TheEffectRef(), 1, 0, 1, 24, &def), kInjectedError);
    ASSERT_EQ(host.InData().inter.checkout_param(TheEffectRef(), 1, 0, 1, 24, &def), PF_Err_NONE);
    FailNext(Fault::kError);
    EXPECT_EQ(host.InData().inter.checkin_param(TheEffectRef(), &def), kInjectedError);
    EXPECT_EQ(host.Params().OutstandingCheckouts(), 0u) << "the effect did check it in";

    PluginLibrary fake(MACULO_FAKE_EFFECT);
    Registration registration;
    FailNext(Fault::kError);
    EXPECT_EQ(Discover(fake.PluginDataEntry(), registration, A_Err_NONE, &host.Log()), kInjectedError);
    EXPECT_EQ(host.Log().Calls().back(), "registration callback");
    EXPECT_TRUE(host.Log().Misuses().empty());
}

}  // namespace
}  // namespace maculo::minihost
