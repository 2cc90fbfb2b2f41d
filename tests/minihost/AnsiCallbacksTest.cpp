#include <gtest/gtest.h>

#include <string>

#include "minihost/AnsiCallbacks.h"

namespace maculo::minihost {
namespace {

TEST(AnsiCallbacks, SprintfFormatsVariadicArgumentsIntoTheCallersBuffer) {
    Journal journal;
    AnsiCallbacks ansi(journal);
    char buffer[512];

    const int length = ansi.Suite()->sprintf(buffer, "%s v%d.%d\r%s", "Maculo Pattern", 1, 1, "One.\nTwo.");
    EXPECT_STREQ(buffer, "Maculo Pattern v1.1\rOne.\nTwo.");
    EXPECT_EQ(length, 29);

    // Floating arguments travel differently from integers in a variadic call.
    ansi.Suite()->sprintf(buffer, "%d %.3f %s %lld %.1f", -7, 2.5, "x", 1LL << 40, 0.25f);
    EXPECT_STREQ(buffer, "-7 2.500 x 1099511627776 0.2");

    const std::string wide(300, 'w');
    EXPECT_EQ(ansi.Suite()->sprintf(buffer, "%s!", wide.c_str()), 301);
    EXPECT_EQ(std::string(buffer), wide + "!");

    EXPECT_EQ(ansi.Printed().size(), 3u);
    EXPECT_EQ(ansi.Printed()[0], "Maculo Pattern v1.1\rOne.\nTwo.");
    EXPECT_EQ(ansi.Suite()->sprintf(nullptr, "%d", 1), -1);
}

TEST(AnsiCallbacks, UtilCallbacksCarryTheSameWorkingTable) {
    Journal journal;
    AnsiCallbacks ansi(journal);
    const PF_ANSICallbacksSuite1& procs = ansi.Utils()->ansi.procs;
    char buffer[32];
    procs.sprintf(buffer, "%d-%s", 42, "b");
    EXPECT_STREQ(buffer, "42-b");
    EXPECT_DOUBLE_EQ(procs.pow(2.0, 10.0), 1024.0);
    EXPECT_DOUBLE_EQ(procs.atan2(1.0, 0.0), procs.asin(1.0));
    EXPECT_DOUBLE_EQ(procs.fmod(7.0, 4.0), 3.0);
    EXPECT_STREQ(procs.strcpy(buffer, "copied"), "copied");
}

}  // namespace
}  // namespace maculo::minihost
