#include "cli/FrameBudget.h"

#include <gtest/gtest.h>

#include "cli/CliError.h"

namespace maculo {
namespace {

std::string Refusal(int32_t width, int32_t height, int32_t depth, int64_t available) {
    try {
        CheckFrameFits(width, height, depth, 0, available);
    } catch (const CliError& e) {
        EXPECT_EQ(e.ExitCode(), kExitFailure);
        return e.what();
    }
    return "";
}

TEST(FrameBudget, RefusesFramesBeyondTheHostsImagesOrTheMemory) {
    constexpr int64_t kGiB = int64_t{1} << 30;
    // 11585 x 11585 float pixels are the largest square working image the host makes.
    EXPECT_EQ(Refusal(11585, 11585, 32, 64 * kGiB), "");
    EXPECT_EQ(Refusal(11586, 11586, 8, 64 * kGiB).rfind("a 11586x11586 frame needs working images of 2.0 GiB", 0),
              0u);
    EXPECT_EQ(Refusal(8000, 8000, 32, 4 * kGiB),
              "a 8000x8000 frame at 32 bits needs about 8.6 GiB of memory; 4.0 GiB is available");
    EXPECT_GT(AvailableMemory(), 0);
}

}  // namespace
}  // namespace maculo
