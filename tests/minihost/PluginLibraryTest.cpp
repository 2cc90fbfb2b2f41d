#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "minihost/Host.h"
#include "minihost/PluginLibrary.h"

namespace maculo::minihost {
namespace {

TEST(PluginLibrary, ResolvesBothEntryPointsAndDrivesThem) {
    PluginLibrary library(MACULO_FAKE_EFFECT);
    Host host;
    host.SetEntry(library.EffectMain());
    EXPECT_EQ(host.Send(PF_Cmd_ABOUT), 100);
    EXPECT_STREQ(host.OutData().return_msg, "fake 0 0.5");

    Registration registration;
    EXPECT_EQ(Discover(library.PluginDataEntry(), registration), A_Err_NONE);
    EXPECT_EQ(registration.calls, 1);
    EXPECT_EQ(registration.name, "Fake");
    EXPECT_EQ(registration.matchName, "FAKE Fake");
    EXPECT_EQ(registration.category, "Tests");
    EXPECT_EQ(registration.entryPointName, "EffectMain");
    EXPECT_EQ(registration.kind, FourCharCode("eFKT"));
    EXPECT_EQ(registration.apiVersionMajor, 13);
    EXPECT_EQ(registration.apiVersionMinor, 28);
    EXPECT_EQ(registration.reservedInfo, 8);
    EXPECT_NE(registration.inPtr, nullptr);

    EXPECT_EQ(Discover(library.PluginDataEntry(), registration, 6), 6) << "the callback's answer comes back";
}

TEST(PluginLibrary, MissingLibraryOrEntryPointIsAClearError) {
    try {
        PluginLibrary missing("/nonexistent/MaculoPattern.so");
        FAIL() << "loaded a library that does not exist";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/MaculoPattern.so"), std::string::npos);
    }
    try {
        PluginLibrary incomplete(MACULO_FAKE_EFFECT_WITHOUT_REGISTRATION);
        FAIL() << "accepted a library without its registration entry";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("PluginDataEntryFunction"), std::string::npos);
    }
}

}  // namespace
}  // namespace maculo::minihost
