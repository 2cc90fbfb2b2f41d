#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>
#include <tuple>

#include "PluginShellFixture.h"

namespace maculo::test {
namespace {

TEST_F(PluginShellTest, CommandsItDoesNotHandleAnswerZeroAndTouchNothing)
{
    for (const PF_Cmd cmd : {2, 3, 5, 14, 31, 33, 34, 1000, -1, INT_MIN}) {
        std::memset(&host.OutData(), 0x5A, sizeof(PF_OutData));
        const PF_OutData before = host.OutData();
        EXPECT_EQ(host.Send(cmd), PF_Err_NONE) << "command " << cmd;
        EXPECT_EQ(std::memcmp(&before, &host.OutData(), sizeof before), 0) << "command " << cmd;
    }
    EXPECT_TRUE(host.Log().Calls().empty());
}

TEST_F(PluginShellTest, GpuDeviceSetupReplacesTheFlagsForOpenClAndCudaOnly)
{
    for (const PF_GPU_Framework framework : {0, 1, 2, 3, 4}) {
        PF_GPUDeviceSetupInput input{framework, 0};
        PF_GPUDeviceSetupOutput output{nullptr};
        PF_GPUDeviceSetupExtra extra{&input, &output};
        host.OutData().out_flags2 = 0xA001408;
        EXPECT_EQ(host.Send(PF_Cmd_GPU_DEVICE_SETUP, &extra), PF_Err_NONE);
        const bool supported = framework == PF_GPU_Framework_OPENCL || framework == PF_GPU_Framework_CUDA;
        EXPECT_EQ(host.OutData().out_flags2, supported ? 0x2000000 : 0xA001408) << "framework " << framework;
        EXPECT_EQ(output.gpu_data, nullptr);
    }
}

TEST_F(PluginShellTest, NothingThrownOrMissingReachesTheHost)
{
    host.InData().inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err {
        throw std::runtime_error("a failure without a host code");
    };
    EXPECT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_INTERNAL_STRUCT_DAMAGED);
    host.InData().inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err { throw 42; };
    EXPECT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_INTERNAL_STRUCT_DAMAGED);

    for (const PF_Cmd cmd : {0, 1, 4, 13}) {
        EXPECT_EQ(Plugin().EffectMain()(cmd, nullptr, nullptr, nullptr, nullptr, nullptr), 512) << "command " << cmd;
    }
    EXPECT_EQ(host.Send(PF_Cmd_GPU_DEVICE_SETUP, nullptr), 512);
}

TEST_F(PluginShellTest, AboutNamesTheEffectItsVersionAndWhatItDoes)
{
    EXPECT_EQ(host.Send(PF_Cmd_ABOUT), PF_Err_NONE);
    EXPECT_EQ(std::string(host.OutData().return_msg),
              "Maculo Pattern v1.1\rMaculo Pattern from Quillfen.\nGenerating Maculo Pattern.");
    ExpectSuitesBalanced();

    host.Suites().Refuse(kPFANSISuite, kPFANSISuiteVersion1, minihost::Refusal::kNullSuite);
    EXPECT_EQ(host.Send(PF_Cmd_ABOUT), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.Ansi().Printed().size(), 1u);
}

TEST(PluginRegistration, TellsTheHostWhoTheEffectIsAndPassesItsAnswerOn)
{
    minihost::Registration registration;
    EXPECT_EQ(minihost::Discover(Plugin().PluginDataEntry(), registration, A_Err_ALLOC), A_Err_ALLOC);
    EXPECT_EQ(registration.calls, 1);
    // The category is capitalised, unlike the property list's "quillfen".
    EXPECT_EQ(std::make_tuple(registration.name, registration.matchName, registration.category,
                              registration.entryPointName),
              std::make_tuple("Maculo Pattern", "QUILLFEN Maculo Pattern", "Quillfen", "EffectMain"));
    EXPECT_EQ(std::make_tuple(registration.kind, registration.apiVersionMajor, registration.apiVersionMinor,
                              registration.reservedInfo),
              std::make_tuple(0x65464B54, 13, 28, 8));  // 'eFKT'
    EXPECT_EQ(Plugin().PluginDataEntry()(nullptr, nullptr, nullptr, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
}  // namespace maculo::test
