#include <gtest/gtest.h>

#include <stdexcept>

#include "minihost/EffectRef.h"
#include "minihost/Host.h"

namespace maculo::minihost {
namespace {

// A minimal effect: keeps a handle as global data and declares one parameter.
PF_Err TinyEffect(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamList params, PF_LayerDef*, void*) {
    const void* suite = nullptr;
    switch (cmd) {
        case PF_Cmd_GLOBAL_SETUP: {
            if (in_data->pica_basicP->AcquireSuite(kPFHandleSuite, kPFHandleSuiteVersion1, &suite)) return 13;
            out_data->global_data = static_cast<const PF_HandleSuite1*>(suite)->host_new_handle(8);
            in_data->pica_basicP->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion1);
            return PF_Err_NONE;
        }
        case PF_Cmd_PARAMS_SETUP: {
            PF_ParamDef def{};
            def.param_type = PF_Param_SLIDER;
            def.u.sd.value = 32;
            if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, PF_ParamIndex_NONE, &def)) return err;
            out_data->num_params = 2;
            return PF_Err_NONE;
        }
        case PF_Cmd_USER_CHANGED_PARAM: return params[1]->u.sd.value;
        default: return PF_Err_NONE;
    }
}

TEST(Host, PresentsEverySuiteAndItsRecordsAsTheEffectExpects) {
    Host host;
    const PF_InData& in = host.InData();
    EXPECT_EQ(in.effect_ref, TheEffectRef());
    EXPECT_NE(in.appl_id, kPremiereAppId);
    EXPECT_EQ(in.downsample_x.num, 1);
    EXPECT_EQ(in.downsample_x.den, 1u);
    EXPECT_NE(in.inter.add_param, nullptr);
    EXPECT_NE(in.utils->ansi.procs.sprintf, nullptr);

    const std::pair<const char*, int32_t> suites[] = {
        {kPFANSISuite, kPFANSISuiteVersion1},
        {kPFHandleSuite, kPFHandleSuiteVersion1},
        {kPFWorldSuite, kPFWorldSuiteVersion2},
        {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion3},
        {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1},
        {kAEGPEffectSuite, kAEGPEffectSuiteVersion4},
        {kAEGPStreamSuite, kAEGPStreamSuiteVersion5},
        {kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion4},
    };
    for (const auto& [name, version] : suites) {
        const void* suite = nullptr;
        EXPECT_EQ(in.pica_basicP->AcquireSuite(name, version, &suite), 0) << name;
        EXPECT_NE(suite, nullptr) << name;
        EXPECT_EQ(in.pica_basicP->ReleaseSuite(name, version), 0) << name;
    }
    EXPECT_EQ(host.Suites().Outstanding(), 0);
}

TEST(Host, KeepsWhatSetupCommandsHandOverAndPassesCurrentParameters) {
    Host host;
    host.SetEntry(&TinyEffect);
    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    EXPECT_NE(host.InData().global_data, nullptr);
    EXPECT_TRUE(host.Handles().IsLive(host.InData().global_data));

    ASSERT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
    EXPECT_EQ(host.InData().num_params, 2);
    host.Params().SetValue(1, 7);
    EXPECT_EQ(host.Send(PF_Cmd_USER_CHANGED_PARAM), 7);
}

TEST(Host, ExistsOncePerProcessAndOutlivedTablesFailSafely) {
    SPBasicSuite basic{};
    {
        Host host;
        EXPECT_THROW(Host second, std::logic_error);
        basic = *host.InData().pica_basicP;
    }
    const void* suite = nullptr;
    EXPECT_NE(basic.AcquireSuite(kPFHandleSuite, kPFHandleSuiteVersion1, &suite), 0);
    EXPECT_EQ(suite, nullptr);
    Host again;  // the slot is free once the first host is gone
    EXPECT_THROW(again.Send(PF_Cmd_ABOUT), std::logic_error) << "no entry point set";
}

}  // namespace
}  // namespace maculo::minihost
