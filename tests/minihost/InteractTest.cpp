#include <gtest/gtest.h>

#include <stdexcept>

#include "minihost/EffectRef.h"
#include "minihost/Interact.h"

namespace maculo::minihost {
namespace {

class InteractTest : public ::testing::Test {
protected:
    void SetUp() override {
        PF_ParamDef def{};
        def.param_type = PF_Param_FLOAT_SLIDER;
        ASSERT_EQ(interact.Callbacks().add_param(TheEffectRef(), PF_ParamIndex_NONE, &def), PF_Err_NONE);
    }
    PF_Err Checkout(PF_ParamDef& def, A_long time = 48) {
        return interact.Callbacks().checkout_param(TheEffectRef(), 1, time, 1, 24, &def);
    }
    PF_Err Checkin(PF_ParamDef& def) { return interact.Callbacks().checkin_param(TheEffectRef(), &def); }

    Journal journal;
    Interact interact{journal};
};

// Each checkout stays outstanding until its own record comes back; one that
// failed needs none, one whose check-in the host complained about is back.
TEST_F(InteractTest, CheckoutsAreOutstandingUntilTheirOwnRecordReturns) {
    interact.SetValue(1, 12.5);
    PF_ParamDef first{}, second{}, refused{};
    EXPECT_EQ(interact.Callbacks().checkout_param(TheEffectRef(), 5, 0, 1, 24, &refused), PF_Err_INVALID_INDEX);
    interact.FailCheckout(3, 8);
    ASSERT_EQ(Checkout(first), PF_Err_NONE);
    ASSERT_EQ(Checkout(second), PF_Err_NONE);
    EXPECT_EQ(second.u.fs_d.value, 12.5);
    EXPECT_EQ(Checkout(refused), 8);
    EXPECT_EQ(interact.OutstandingCheckouts(), 2u);
    EXPECT_NE(Checkin(refused), PF_Err_NONE);
    EXPECT_EQ(Checkin(second), PF_Err_NONE);
    EXPECT_NE(Checkin(second), PF_Err_NONE) << "the same record twice";
    EXPECT_EQ(interact.OutstandingCheckouts(), 1u);
    interact.FailCheckin(1, 9);
    EXPECT_EQ(Checkin(first), 9);
    EXPECT_EQ(interact.OutstandingCheckouts(), 0u);
    EXPECT_EQ(journal.Misuses().size(), 3u);
}

// Frames at different times of one animated control each see their own value.
TEST_F(InteractTest, KeyframesServeTheirValueAtTheirTimeOnly) {
    interact.SetValueAt(1, 10, 42.0);
    interact.SetValue(1, 7.0);
    EXPECT_THROW(interact.SetValueAt(0, 10, 1.0), std::invalid_argument) << "the layer has no value";
    PF_ParamDef atKey{}, elsewhere{};
    ASSERT_EQ(Checkout(atKey, 10), PF_Err_NONE);
    ASSERT_EQ(Checkout(elsewhere, 11), PF_Err_NONE);
    EXPECT_EQ(atKey.u.fs_d.value, 42.0);
    EXPECT_EQ(elsewhere.u.fs_d.value, 7.0);
    EXPECT_EQ(interact.ParamList()[1]->u.fs_d.value, 7.0) << "the parameter array holds the current value";
}

}  // namespace
}  // namespace maculo::minihost
