// The suite helpers on their own, against our small host's basic suite.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/AcquiredSuites.h"
#include "minihost/Host.h"

namespace maculo::test {
namespace {

template <class Body>
PF_Err RaisedBy(Body body)
{
    try {
        body();
    } catch (const HostError& error) {
        return error.Code();
    }
    return PF_Err_NONE;
}

TEST(HostSuitesTest, TakesEachSuiteOnceAndGivesBackAllItTook)
{
    minihost::Host host;
    EXPECT_EQ(RaisedBy([&] {
                  HostSuites suites(host.InData());
                  EXPECT_EQ(&suites.Get<PF_HandleSuite1>(), host.Handles().Table());
                  suites.Get<PF_HandleSuite1>();
                  host.Suites().Refuse(kAEGPEffectSuite, kAEGPEffectSuiteVersion4, minihost::Refusal::kNullSuite);
                  suites.Get<AEGP_EffectSuite4>();
              }),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.Suites().Acquired(kPFHandleSuite, kPFHandleSuiteVersion1), 1);
    EXPECT_EQ(host.Suites().Outstanding(), 0);
    EXPECT_TRUE(host.Log().Misuses().empty());

    host.InData().pica_basicP = nullptr;
    EXPECT_EQ(RaisedBy([&] { HostSuites(host.InData()).Get<PF_HandleSuite1>(); }), PF_Err_BAD_CALLBACK_PARAM);
}

// Held and given back within a frame is the frame tests' matter; here, what
// the user is told when the suite is missing.
TEST(ScopedSuiteTest, AMissingSuiteIsRaisedAndToldTheUserWhereThereIsSomewhereToTell)
{
    minihost::Host host;
    host.Suites().Refuse(kPFWorldSuite, kPFWorldSuiteVersion2);
    EXPECT_EQ(RaisedBy([&] { ScopedSuite<PF_WorldSuite2>(host.InData(), nullptr); }), A_Err_MISSING_SUITE);
    EXPECT_TRUE(host.Ansi().Printed().empty());
    host.OutData().out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
    EXPECT_EQ(RaisedBy([&] { ScopedSuite<PF_WorldSuite2>(host.InData(), &host.OutData()); }), A_Err_MISSING_SUITE);
    EXPECT_EQ(host.OutData().out_flags, PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_EQ(host.Ansi().Printed(), std::vector<std::string>{"Not able to acquire AEFX Suite."});
    EXPECT_EQ(host.Suites().Outstanding(), 0);
}

}  // namespace
}  // namespace maculo::test
