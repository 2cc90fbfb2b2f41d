#include <stdexcept>
#include <string>
#include <vector>

#include "PluginShellFixture.h"
#include "gpu/GpuState.h"
#include "plugin/GlobalData.h"

namespace maculo::test {
namespace {

using minihost::AegpFunction;

class GlobalSetupTest : public PluginShellTest {
protected:
    const GlobalData& HandedOver()
    {
        return *static_cast<const GlobalData*>(host.Handles().Peek(host.OutData().global_data));
    }

    // The values the property list declares (eVER, eGLO, eGL2), which the
    // host compares with these.
    void ExpectDeclared()
    {
        EXPECT_EQ(host.OutData().my_version, 0x88601u);
        EXPECT_EQ(host.OutData().out_flags, 0x6000000);
        EXPECT_EQ(host.OutData().out_flags2, 0xA001408);
    }
};

TEST_F(GlobalSetupTest, DeclaresItselfRegistersAndHandsOverItsGlobalData)
{
    host.Aegp().SetPluginId(42);
    EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    ExpectDeclared();
    EXPECT_EQ(host.Aegp().RegisteredNames(), std::vector<std::string>{"Maculo Pattern"});
    ASSERT_TRUE(host.Handles().IsLive(host.OutData().global_data));
    EXPECT_EQ(host.Handles().LockedCount(), 0u);
    EXPECT_EQ(HandedOver().pluginId, 42);

    // The first GPU of the machine, or an empty state where it has none.
    boost::compute::device gpu;
    try {
        gpu = FindGpuDevice();
    } catch (const std::exception&) {
    }
    ASSERT_NE(HandedOver().gpuState, nullptr);
    EXPECT_EQ(HandedOver().gpuState->device.id(), gpu.id());
    ExpectSuitesBalanced();
}

TEST_F(GlobalSetupTest, InPremiereSkipsTheAegpLayerAndStillHandsOver)
{
    host.InData().appl_id = kPremiereAppId;
    EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    EXPECT_EQ(host.Suites().Acquired(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion3), 0);
    ASSERT_NE(host.OutData().global_data, nullptr);
    EXPECT_NE(HandedOver().gpuState, nullptr);
}

// Each failure still declares the effect and gives back everything it took;
// a refused registration is no failure, but leaves no global data either.
TEST_F(GlobalSetupTest, EveryFailureBeforeTheHandOverLosesNothing)
{
    const auto expectNoGlobalData = [&](PF_Err code) {
        EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), code);
        ExpectDeclared();
        EXPECT_EQ(host.OutData().global_data, nullptr);
        EXPECT_EQ(host.Handles().LiveCount(), 0u);
        ExpectSuitesBalanced();
    };
    host.Aegp().FailAt(AegpFunction::kRegisterWithAEGP, 1, A_Err_GENERIC);
    expectNoGlobalData(PF_Err_NONE);
    host.Handles().SetNewHandleFails(true);
    expectNoGlobalData(PF_Err_OUT_OF_MEMORY);
    host.Handles().SetNewHandleFails(false);
    host.Handles().SetLockFails(true);
    expectNoGlobalData(PF_Err_OUT_OF_MEMORY);
    host.Handles().SetLockFails(false);
    // Refused once the handle suite was taken and the handle made and locked.
    host.Suites().Refuse(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion3);
    expectNoGlobalData(PF_Err_BAD_CALLBACK_PARAM);
    host.Suites().Refuse(kPFHandleSuite, kPFHandleSuiteVersion1);
    expectNoGlobalData(PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.Aegp().Calls().size(), 1u);  // the refused registration alone
}

}  // namespace
}  // namespace maculo::test
