// The built plug-in driven through its entry point by our small host, the way
// the host drives it.
#pragma once

#include <gtest/gtest.h>

#include "minihost/Host.h"
#include "minihost/PluginLibrary.h"

namespace maculo::test {

// Loaded once per test program, which also proves both entry points resolve,
// and kept loaded to the end as a host keeps its plug-ins (so that a leak
// report can still name the plug-in's functions).
inline const minihost::PluginLibrary& Plugin()
{
    static const auto* library = new minihost::PluginLibrary(MACULO_PLUGIN_PATH);
    return *library;
}

class PluginShellTest : public ::testing::Test {
protected:
    PluginShellTest() { host.SetEntry(Plugin().EffectMain()); }

    // Global setup and parameter setup, as the host does before anything else.
    void SetUpEffect()
    {
        ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
        ASSERT_NE(host.InData().global_data, nullptr);
        ASSERT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE);
        host.Log().Clear();
    }

    // Every suite taken during the commands so far was given back exactly once.
    void ExpectSuitesBalanced()
    {
        EXPECT_EQ(host.Suites().Outstanding(), 0);
        EXPECT_TRUE(host.Log().Misuses().empty()) << host.Log().Misuses().front();
    }

    minihost::Host host;
};

}  // namespace maculo::test
