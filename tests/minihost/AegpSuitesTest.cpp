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

TEST_F(AegpSuitesTest, RefusedRequestsMakeNoReferenceAndChangeNothing) {
    AEGP_EffectRefH effect = NewEffect();
    aegp.FailAt(AegpFunction::kGetNewEffectStreamByIndex, 2, 9);
    AEGP_StreamRefH streams[2] = {};
    EXPECT_EQ(NewStream(effect, 4, &streams[0]), A_Err_NONE);
    EXPECT_EQ(NewStream(effect, 5, &streams[1]), 9);
    EXPECT_EQ(streams[1], nullptr);
    EXPECT_EQ(aegp.LiveStreams(), 1u);

    aegp.FailAt(AegpFunction::kSetDynamicStreamFlag, 2, 3);
    EXPECT_EQ(SetHidden(streams[0], true), A_Err_NONE);
    EXPECT_EQ(SetHidden(streams[0], false), 3);
    EXPECT_EQ(aegp.Hidden(4), true) << "a failed change changes nothing";
    EXPECT_EQ(aegp.Hidden(5), std::nullopt);
    EXPECT_EQ(aegp.Stream()->AEGP_DisposeStream(streams[0]), A_Err_NONE);
    EXPECT_EQ(aegp.Effect()->AEGP_DisposeEffect(effect), A_Err_NONE);
    EXPECT_EQ(aegp.LiveStreams() + aegp.LiveEffects(), 0u);
    EXPECT_TRUE(journal.Misuses().empty());
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
