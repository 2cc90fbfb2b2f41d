#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "PluginShellFixture.h"

namespace maculo::test {
namespace {

using minihost::AegpCall;
using minihost::AegpFunction;

// A definition as the host must receive it: everything not set here is zero.
PF_ParamDef Definition(A_long id, PF_ParamType type, const char* name, PF_ParamFlags flags, PF_ParamUIFlags uiFlags)
{
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.uu.id = id;
    def.param_type = type;
    std::strcpy(def.name, name);
    def.flags = flags;
    def.ui_flags = uiFlags;
    return def;
}

PF_ParamDef Popup(A_long id, const char* name, PF_ParamFlags flags, A_short choices, A_short value)
{
    PF_ParamDef def = Definition(id, PF_Param_POPUP, name, flags, 0);
    def.u.pd = {value, choices, value, {nullptr}};  // the choices are compared as text
    return def;
}

PF_ParamDef FloatSlider(A_long id, const char* name, PF_ParamFlags flags, PF_ParamUIFlags uiFlags, float validMax,
                        float sliderMax, float value, PF_Precision precision)
{
    PF_ParamDef def = Definition(id, PF_Param_FLOAT_SLIDER, name, flags, uiFlags);
    PF_FloatSliderDef& slider = def.u.fs_d;
    slider.value = slider.dephault = value;
    slider.valid_max = validMax;
    slider.slider_max = sliderMax;
    slider.precision = precision;
    slider.curve_tolerance = 0.05f;
    return def;
}

TEST_F(PluginShellTest, ParameterSetupDeclaresTheTwelveControlsExactly)
{
    PF_ParamDef amount = Definition(12, PF_Param_SLIDER, "Amount", 0, 0);
    amount.u.sd.value = amount.u.sd.dephault = 32;
    amount.u.sd.valid_min = amount.u.sd.slider_min = 1;
    amount.u.sd.valid_max = 1000;
    amount.u.sd.slider_max = 100;
    const PF_ParamDef expected[] = {
        Popup(3, "Parameter Mode", 0x40, 2, 1),
        Popup(2, "Blur Mode", 0, 2, 2),
        Popup(3, "Gray Mode", 0, 3, 2),
        FloatSlider(4, "Width", 0x200, 0, 200, 100, 6, 1),
        Definition(5, PF_Param_GROUP_START, "Blur Option", 0x200, 0x200),
        FloatSlider(6, "Radius", 0x220, 0x200, 200, 100, 6, 1),
        Definition(7, PF_Param_GROUP_END, "", 0x200, 0x200),
        Definition(8, PF_Param_GROUP_START, "Sharp Option", 0x200, 0x200),
        FloatSlider(9, "Radius", 0x220, 0x200, 200, 100, 6, 1),
        FloatSlider(10, "Sharpen", 0x200, 0x200, 10000, 1000, 1000, 2),
        Definition(11, PF_Param_GROUP_END, "", 0x200, 0x200),
        amount,
    };
    const std::string choices[] = {"Simple | Detail", "Box | Gaussian", "OFF | Before | After"};

    EXPECT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
    EXPECT_EQ(host.OutData().num_params, 13);
    const std::vector<minihost::AddedParam> added = host.Params().Added();
    ASSERT_EQ(added.size(), std::size(expected));
    for (size_t i = 0; i < added.size(); ++i) {
        PF_ParamDef got = added[i].def;
        EXPECT_EQ(added[i].index, -1);  // appended
        if (got.param_type == PF_Param_POPUP) {
            EXPECT_EQ(added[i].choices, choices[i]);
            got.u.pd.u.namesptr = nullptr;
        }
        EXPECT_EQ(std::memcmp(&got, &expected[i], sizeof got), 0) << "parameter " << i + 1;
    }
}

TEST_F(PluginShellTest, ParameterSetupStopsAtTheFirstRefusal)
{
    host.Params().FailAddParam(5, PF_Err_OUT_OF_MEMORY);
    host.OutData().num_params = 77;
    EXPECT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.Params().Added().size(), 5u);
    EXPECT_EQ(host.OutData().num_params, 77);
}

class ParamVisibilityTest : public PluginShellTest {
protected:
    void SetUp() override
    {
        host.Aegp().SetPluginId(42);
        ASSERT_NO_FATAL_FAILURE(SetUpEffect());
    }

    // Switches "Parameter Mode" and notes in `visited` what the command did to
    // each stream it asked for, in order ("-" hidden, "+" shown).
    PF_Err SwitchMode(PF_ParamValue mode)
    {
        const size_t before = host.Aegp().Calls().size();
        host.Params().SetValue(1, mode);
        const PF_Err err = host.Send(PF_Cmd_USER_CHANGED_PARAM);
        const std::vector<AegpCall> calls = host.Aegp().Calls();
        visited.clear();
        for (size_t i = before; i < calls.size(); ++i) {
            const AegpCall& call = calls[i];
            if (call.function == AegpFunction::kGetNewEffectStreamByIndex) {
                EXPECT_EQ(call.pluginId, 42);
                visited += std::to_string(call.index);
            } else if (call.function == AegpFunction::kSetDynamicStreamFlag) {
                EXPECT_TRUE(call.flag == AEGP_DynStreamFlag_HIDDEN && !call.undoable);
                visited += call.set ? "- " : "+ ";
            }
        }
        return err;
    }

    void ExpectNothingLeftOpen()
    {
        EXPECT_EQ(host.Aegp().LiveStreams() + host.Aegp().LiveEffects() + host.Handles().LockedCount(), 0u);
        ExpectSuitesBalanced();
    }

    std::string visited;
};

TEST_F(ParamVisibilityTest, DetailShowsTheGroupsAndHidesWidthAndSimpleDoesTheReverse)
{
    for (const PF_ParamValue detail : {2, 3}) {  // any mode but Simple is Detail
        EXPECT_EQ(SwitchMode(detail), PF_Err_NONE);
        EXPECT_EQ(visited, "4- 5+ 6+ 7+ 8+ 9+ 10+ 11+ ");
    }
    EXPECT_EQ(SwitchMode(1), PF_Err_NONE);
    EXPECT_EQ(visited, "4+ 5- 6- 7- 8- 9- 10- 11- ");
    ExpectNothingLeftOpen();
}

TEST_F(ParamVisibilityTest, TheFirstFailureStopsTheWalkAndDisposalCodesAreMergedIn)
{
    host.Aegp().FailAt(AegpFunction::kGetNewEffectStreamByIndex, 4, A_Err_GENERIC);  // index 7
    EXPECT_EQ(SwitchMode(2), A_Err_GENERIC);
    EXPECT_EQ(visited, "4- 5+ 6+ 7");
    host.Aegp().FailAt(AegpFunction::kSetDynamicStreamFlag, 2, A_Err_PARAMETER);
    EXPECT_EQ(SwitchMode(1), A_Err_PARAMETER);
    EXPECT_EQ(visited, "4+ 5- ");
    ExpectNothingLeftOpen();  // the refused change's stream included

    host.Aegp().FailAt(AegpFunction::kDisposeStream, 1, 0x10);
    host.Aegp().FailAt(AegpFunction::kDisposeEffect, 1, 0x20);
    EXPECT_EQ(SwitchMode(2), 0x30);
}

TEST_F(ParamVisibilityTest, WithoutWhatItNeedsTheCommandChangesNothing)
{
    const size_t registration = host.Aegp().Calls().size();
    host.Aegp().FailAt(AegpFunction::kGetNewEffectForEffect, 1, A_Err_STRUCT);
    EXPECT_EQ(SwitchMode(2), A_Err_STRUCT);  // and disposes no reference it did not get
    host.Handles().SetLockFails(true);
    EXPECT_EQ(SwitchMode(2), PF_Err_INTERNAL_STRUCT_DAMAGED);
    host.InData().global_data = nullptr;
    EXPECT_EQ(SwitchMode(2), PF_Err_INTERNAL_STRUCT_DAMAGED);
    host.Suites().Refuse(kAEGPStreamSuite, kAEGPStreamSuiteVersion5);
    EXPECT_EQ(SwitchMode(2), PF_Err_BAD_CALLBACK_PARAM);

    EXPECT_EQ(host.Aegp().Calls().size(), registration + 1);
    // The four AEGP suites come first, but none after the one refused.
    EXPECT_EQ(host.Suites().Acquired(kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion4), 3);
    ExpectNothingLeftOpen();
}

}  // namespace
}  // namespace maculo::test
