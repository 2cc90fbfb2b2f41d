#include <gtest/gtest.h>

#include "minihost/AegpSuites.h"
#include "minihost/EffectRef.h"

namespace maculo::minihost {
namespace {

class AegpSuitesTest : public ::testing::Test {
protected:
    AEGP_EffectRefH NewEffect() {
        AEGP_EffectRefH effect = nullptr;
        EXPECT_EQ(aegp.PFInterface()->AEGP_GetNewEffectForEffect(17, TheEffectRef(), &effect), A_Err_NONE);
        return effect;
    }
    A_Err NewStream(AEGP_EffectRefH effect, PF_ParamIndex index, AEGP_StreamRefH* stream) {
        return aegp.Stream()->AEGP_GetNewEffectStreamByIndex(17, effect, index, stream);
    }
    A_Err SetHidden(AEGP_StreamRefH stream, bool hidden) {
        return aegp.DynamicStream()->AEGP_SetDynamicStreamFlag(stream, AEGP_DynStreamFlag_HIDDEN, 0, hidden);
    }

    Journal journal;
    AegpSuites aegp{journal};
};

TEST_F(AegpSuitesTest, RegistrationHandsOutTheIdUnlessRefused) {
    aegp.SetPluginId(99);
    aegp.FailAt(AegpFunction::kRegisterWithAEGP, 1, 5);
    AEGP_PluginID id = -1;
    EXPECT_EQ(aegp.Utility()->AEGP_RegisterWithAEGP(nullptr, "Maculo Pattern", &id), 5);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(aegp.Utility()->AEGP_RegisterWithAEGP(nullptr, "Maculo Pattern", &id), A_Err_NONE);
    EXPECT_EQ(id, 99);
    EXPECT_EQ(aegp.RegisteredNames(), std::vector<std::string>{"Maculo Pattern"});
    ASSERT_EQ(aegp.Calls().size(), 2u);
    EXPECT_EQ(aegp.Calls()[0].result, 5);
}

TEST_F(AegpSuitesTest, RecordsWhichParameterGotWhichHiddenState) {
    AEGP_EffectRefH effect = NewEffect();
    AEGP_StreamRefH width = nullptr, group = nullptr;
    ASSERT_EQ(NewStream(effect, 4, &width), A_Err_NONE);
    ASSERT_EQ(SetHidden(width, true), A_Err_NONE);
    ASSERT_EQ(NewStream(effect, 5, &group), A_Err_NONE);
    ASSERT_EQ(SetHidden(group, false), A_Err_NONE);
    EXPECT_EQ(aegp.LiveStreams(), 2u);
    EXPECT_EQ(aegp.Stream()->AEGP_DisposeStream(width), A_Err_NONE);
    EXPECT_EQ(aegp.Stream()->AEGP_DisposeStream(group), A_Err_NONE);
    EXPECT_EQ(aegp.Effect()->AEGP_DisposeEffect(effect), A_Err_NONE);

    EXPECT_EQ(aegp.Hidden(4), true);
    EXPECT_EQ(aegp.Hidden(5), false);
    EXPECT_EQ(aegp.Hidden(6), std::nullopt);
    EXPECT_EQ(aegp.LiveStreams(), 0u);
    EXPECT_EQ(aegp.LiveEffects(), 0u);

    const std::vector<AegpCall> calls = aegp.Calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0].function, AegpFunction::kGetNewEffectForEffect);
    EXPECT_EQ(calls[0].pluginId, 17);
    EXPECT_EQ(calls[2].function, AegpFunction::kSetDynamicStreamFlag);
    EXPECT_EQ(calls[2].index, 4);
    EXPECT_EQ(calls[2].flag, AEGP_DynStreamFlag_HIDDEN);
    EXPECT_FALSE(calls[2].undoable);
    EXPECT_TRUE(calls[2].set);
    EXPECT_EQ(calls[6].function, AegpFunction::kDisposeStream);
    EXPECT_EQ(calls[6].index, 5);
    EXPECT_TRUE(journal.Misuses().empty());
}

TEST_F(AegpSuitesTest, FailureInjectedAtTheKthStreamRequestMakesNoStream) {
    AEGP_EffectRefH effect = NewEffect();
    aegp.FailAt(AegpFunction::kGetNewEffectStreamByIndex, 3, 9);
    AEGP_StreamRefH streams[3] = {};
    EXPECT_EQ(NewStream(effect, 4, &streams[0]), A_Err_NONE);
    EXPECT_EQ(NewStream(effect, 5, &streams[1]), A_Err_NONE);
    EXPECT_EQ(NewStream(effect, 6, &streams[2]), 9);
    EXPECT_EQ(streams[2], nullptr);
    EXPECT_EQ(aegp.LiveStreams(), 2u);
    EXPECT_EQ(aegp.Calls().back().index, 6);
    EXPECT_EQ(aegp.Calls().back().result, 9);

    aegp.FailAt(AegpFunction::kSetDynamicStreamFlag, 1, 3);
    EXPECT_EQ(SetHidden(streams[0], true), 3);
    EXPECT_EQ(aegp.Hidden(4), std::nullopt) << "a failed change changes nothing";
}

TEST_F(AegpSuitesTest, RejectsReferencesItDidNotHandOut) {
    AEGP_EffectRefH effect = nullptr;
    EXPECT_NE(aegp.PFInterface()->AEGP_GetNewEffectForEffect(17, nullptr, &effect), A_Err_NONE);
    effect = NewEffect();
    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(NewStream(effect, 4, &stream), A_Err_NONE);
    ASSERT_EQ(aegp.Stream()->AEGP_DisposeStream(stream), A_Err_NONE);

    EXPECT_NE(aegp.Stream()->AEGP_DisposeStream(stream), A_Err_NONE);
    EXPECT_NE(SetHidden(stream, true), A_Err_NONE);
    EXPECT_EQ(aegp.Hidden(4), std::nullopt);
    ASSERT_EQ(aegp.Effect()->AEGP_DisposeEffect(effect), A_Err_NONE);
    EXPECT_NE(aegp.Effect()->AEGP_DisposeEffect(effect), A_Err_NONE);
    EXPECT_NE(NewStream(effect, 5, &stream), A_Err_NONE) << "a disposed effect has no streams";
    EXPECT_EQ(journal.Misuses().size(), 5u);
}

}  // namespace
}  // namespace maculo::minihost
