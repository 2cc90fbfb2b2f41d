#include "renderlib/FrameBudget.h"

#include "cli/ScratchFolder.h"

namespace maculo {
namespace {

TEST(FrameBudget, RefusesFramesBeyondTheHostsImagesOrTheMemory) {
    constexpr int64_t kGiB = int64_t{1} << 30;
    // 11585 x 11585 float pixels are the largest square working image the host makes.
    EXPECT_NO_THROW(CheckFrameFits(11585, 11585, 32, 0, {64 * kGiB, ""}));
    EXPECT_EQ(ErrorOf(kExitFailure,
                      [] {
                          CheckFrameFits(11586, 11586, 8, 0, {64 * kGiB, ""});
                      })
                  .rfind("a 11586x11586 frame needs working images of 2.0 GiB", 0),
              0u);
    EXPECT_EQ(ErrorOf(kExitFailure,
                      [] {
                          CheckFrameFits(8000, 8000, 32, 0, {4 * kGiB, ""});
                      }),
              "a 8000x8000 frame at 32 bits needs about 10.5 GiB of memory; 4.0 GiB is available");
    EXPECT_GT(AvailableMemory().bytes, 0);
}

}  // namespace
}  // namespace maculo
