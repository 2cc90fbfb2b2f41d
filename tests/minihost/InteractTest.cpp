#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "minihost/EffectRef.h"
#include "minihost/Interact.h"

namespace maculo::minihost {
namespace {

PF_ParamDef Popup(const char* choices, A_long value) {
    PF_ParamDef def{};
    def.param_type = PF_Param_POPUP;
    def.u.pd.value = value;
    def.u.pd.num_choices = 2;
    def.u.pd.u.namesptr = choices;
    return def;
}

PF_ParamDef FloatSlider(double value) {
    PF_ParamDef def{};
    def.param_type = PF_Param_FLOAT_SLIDER;
    def.u.fs_d.value = value;
    return def;
}

class InteractTest : public ::testing::Test {
protected:
    PF_Err Add(const PF_ParamDef& def) {
        PF_ParamDef copy = def;
        return interact.Callbacks().add_param(TheEffectRef(), PF_ParamIndex_NONE, &copy);
    }
    PF_Err Checkout(PF_ParamIndex index, PF_ParamDef& def, A_long time = 0) {
        return interact.Callbacks().checkout_param(TheEffectRef(), index, time, 1, 24, &def);
    }
    PF_Err Checkin(PF_ParamDef& def) { return interact.Callbacks().checkin_param(TheEffectRef(), &def); }

    Journal journal;
    Interact interact{journal};
};

TEST_F(InteractTest, AddParamAppendsAfterTheLayerAndKeepsItsOwnCopy) {
    char choices[] = "Simple | Detail";
    ASSERT_EQ(Add(Popup(choices, 1)), PF_Err_NONE);
    ASSERT_EQ(Add(FloatSlider(6.0)), PF_Err_NONE);
    std::memset(choices, 'x', sizeof choices - 1);  // the effect's text may go away

    EXPECT_EQ(interact.ParamCount(), 3);
    PF_ParamList params = interact.ParamList();
    EXPECT_EQ(params[0]->param_type, PF_Param_LAYER);
    EXPECT_STREQ(params[1]->u.pd.u.namesptr, "Simple | Detail");
    EXPECT_EQ(params[2]->u.fs_d.value, 6.0);

    const std::vector<AddedParam> added = interact.Added();
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0].index, PF_ParamIndex_NONE);
    EXPECT_EQ(added[0].choices, "Simple | Detail");
}

TEST_F(InteractTest, RefusesTheNthAddParamWithoutKeepingIt) {
    interact.FailAddParam(2, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(Add(FloatSlider(1)), PF_Err_NONE);
    EXPECT_EQ(Add(FloatSlider(2)), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(interact.ParamCount(), 2);
    EXPECT_EQ(interact.Added().size(), 2u) << "the refused call is still on record";
    EXPECT_EQ(Add(FloatSlider(3)), PF_Err_NONE);
    EXPECT_EQ(interact.ParamList()[2]->u.fs_d.value, 3.0);
}

TEST_F(InteractTest, CheckoutServesEachParametersCurrentValueAtTheAskedTime) {
    ASSERT_EQ(Add(Popup("A | B", 1)), PF_Err_NONE);
    ASSERT_EQ(Add(FloatSlider(6.0)), PF_Err_NONE);
    interact.SetValue(1, 2);
    interact.SetValue(2, 12.5);
    EXPECT_THROW(interact.SetValue(0, 1), std::invalid_argument) << "the layer has no value";
    EXPECT_THROW(interact.SetValue(7, 1), std::out_of_range);

    PF_ParamDef mode{}, width{};
    ASSERT_EQ(Checkout(1, mode, 48), PF_Err_NONE);
    ASSERT_EQ(Checkout(2, width, 48), PF_Err_NONE);
    EXPECT_EQ(mode.u.pd.value, 2);
    EXPECT_EQ(width.u.fs_d.value, 12.5);
    EXPECT_EQ(interact.OutstandingCheckouts(), 2u);
    EXPECT_EQ(interact.Checkouts()[1].what_time, 48);
    EXPECT_EQ(interact.Checkouts()[1].time_scale, 24u);

    EXPECT_EQ(Checkin(width), PF_Err_NONE);
    EXPECT_EQ(Checkin(mode), PF_Err_NONE);
    EXPECT_EQ(interact.Checkins(), (std::vector<PF_ParamIndex>{2, 1}));
    EXPECT_EQ(interact.OutstandingCheckouts(), 0u);
    EXPECT_TRUE(journal.Misuses().empty());
}

TEST_F(InteractTest, CheckoutFailuresAndStrayCheckins) {
    ASSERT_EQ(Add(FloatSlider(6.0)), PF_Err_NONE);
    PF_ParamDef def{};
    EXPECT_EQ(Checkout(5, def), PF_Err_INVALID_INDEX);
    interact.FailCheckout(2, 8);
    EXPECT_EQ(Checkout(1, def), PF_Err_NONE);
    PF_ParamDef other{};
    EXPECT_EQ(Checkout(1, other), 8);
    EXPECT_EQ(interact.OutstandingCheckouts(), 1u) << "a failed checkout needs no check-in";
    EXPECT_NE(Checkin(other), PF_Err_NONE);

    interact.FailCheckin(1, 9);
    EXPECT_EQ(Checkin(def), 9);
    EXPECT_EQ(interact.OutstandingCheckouts(), 0u) << "returned even though the host complained";
    EXPECT_EQ(journal.Misuses().size(), 2u);
}

TEST_F(InteractTest, ProgressGoesToTheSetFunction) {
    EXPECT_EQ(interact.Callbacks().progress(TheEffectRef(), 1, 2), PF_Err_NONE);
    std::vector<std::pair<A_long, A_long>> seen;
    interact.SetProgress([&](A_long current, A_long total) {
        seen.emplace_back(current, total);
        return current == 3 ? PF_Interrupt_CANCEL : PF_Err_NONE;
    });
    EXPECT_EQ(interact.Callbacks().progress(TheEffectRef(), 2, 5), PF_Err_NONE);
    EXPECT_EQ(interact.Callbacks().progress(TheEffectRef(), 3, 5), PF_Interrupt_CANCEL);
    EXPECT_EQ(seen, (std::vector<std::pair<A_long, A_long>>{{2, 5}, {3, 5}}));
    EXPECT_EQ(interact.ProgressCalls(), 3);
}

}  // namespace
}  // namespace maculo::minihost
