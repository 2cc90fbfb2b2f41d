#include "cli/FrameBudget.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "ScratchFolder.h"

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
              "a 8000x8000 frame at 32 bits needs about 8.6 GiB of memory; 4.0 GiB is available");
    EXPECT_GT(AvailableMemory().bytes, 0);
}

// The process's own limits count for what is left of them, in a child
// process that may lower them.
TEST(FrameBudget, TheProcesssLimitsCount) {
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        const pid_t pid = fork();
        if (pid == 0) {
            constexpr int64_t kRoom = int64_t{1} << 30;
            const int64_t used = int64_t(AvailableMemory().bytes);  // at once, only reading
            std::ifstream status("/proc/self/status");
            int64_t kib = 0;
            for (std::string key; status >> key;)
                if (key == (resource == RLIMIT_AS ? "VmSize:" : "VmData:") && status >> kib) break;
            const struct rlimit rl { rlim_t(kib * 1024 + kRoom), rlim_t(kib * 1024 + kRoom) };
            if (used <= 0 || setrlimit(resource, &rl) != 0) _exit(2);
            const Memory left = AvailableMemory();
            const bool named = left.limit.find(resource == RLIMIT_AS ? "ulimit -v" : "ulimit -d") != std::string::npos;
            _exit(left.bytes <= kRoom && left.bytes > kRoom / 2 && named ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << resource;
    }
}

}  // namespace
}  // namespace maculo
