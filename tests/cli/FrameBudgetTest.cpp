#include "renderlib/FrameBudget.h"

#include <regex>

#include "tests/cli/ScratchFolder.h"

namespace maculo {
namespace {

TEST(FrameBudget, RefusesFramesBeyondTheHostsImagesOrTheMemory) {
    constexpr int64_t kGiB = int64_t{1} << 30;
    // 11585 x 11585 float pixels are the largest square working image the host makes.
    EXPECT_NO_THROW(CheckFrameFits(11585, 11585, 32, 0, {64 * kGiB, ""}));
    const auto beyond = [] { CheckFrameFits(11586, 11586, 8, 0, {64 * kGiB, ""}); };
    EXPECT_EQ(ErrorOf(kExitFailure, beyond).rfind("a 11586x11586 frame needs working images of 2.0 GiB", 0), 0u);

    // Deeper frames and a larger picture read in need more.
    EXPECT_LT(FrameMemory(8000, 8000, 8, 0), FrameMemory(8000, 8000, 16, 0));
    EXPECT_LT(FrameMemory(8000, 8000, 16, 0), FrameMemory(8000, 8000, 32, 0));
    EXPECT_LT(FrameMemory(8000, 8000, 32, 0), FrameMemory(8000, 8000, 32, kGiB));
    // A frame that needs all the memory there is fits; one that needs more
    // is refused with the size, the depth, both amounts and the limit.
    const int64_t needed = FrameMemory(8000, 8000, 32, kGiB);
    EXPECT_NO_THROW(CheckFrameFits(8000, 8000, 32, kGiB, {needed, ""}));
    const std::string refusal = ErrorOf(kExitFailure, [&] {
        CheckFrameFits(8000, 8000, 32, kGiB, {needed / 2, "the test's limit"});
    });
    std::smatch amounts;
    ASSERT_TRUE(std::regex_match(refusal, amounts,
                                 std::regex("a 8000x8000 frame at 32 bits needs about ([0-9]+\\.[0-9]) GiB of "
                                            "memory; ([0-9]+\\.[0-9]) GiB is available under the test's limit")))
        << refusal;
    EXPECT_GT(std::stod(amounts[1]), std::stod(amounts[2]));
    EXPECT_GT(AvailableMemory().bytes, 0);
}

}  // namespace
}  // namespace maculo
