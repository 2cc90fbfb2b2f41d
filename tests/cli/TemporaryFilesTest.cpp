#include "renderlib/TemporaryFiles.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "tests/cli/ScratchFolder.h"

namespace maculo {
namespace {

using std::chrono::minutes;
using TemporaryFiles = ScratchFolder;

// The process number of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST_F(TemporaryFiles, OnlyThoseNoLiveProcessMayWriteAreRemoved) {
    const std::string me = MachineName(), ended = std::to_string(EndedProcess());
    const auto make = [&](const std::string& name) { std::ofstream(File(name)) << "part of a frame"; };
    make(".f_0001.png." + me + "." + ended + ".tmp");  // killed: removed
    make(TemporaryName("f_0002.png"));                 // this process's own, before it writes: removed
    make(".f_0003.png." + me + "." + std::to_string(getppid()) + ".tmp");  // a live process's: kept
    make(".f_0004.png.far.away." + ended + ".tmp");                        // another machine's: kept until old
    make("f_0006.png");                                                    // a frame
    EXPECT_EQ(RemoveStaleTemporaries(File("f_####.png"), {}), 2);
    const std::vector<std::string> kept = {".f_0003.png." + me + "." + std::to_string(getppid()) + ".tmp",
                                           ".f_0004.png.far.away." + ended + ".tmp", "f_0006.png"};
    EXPECT_EQ(Files(), kept);

    // Another machine's file goes once it is older than the user allows.
    EXPECT_EQ(RemoveStaleTemporaries(File("f_####.png"), minutes(5)), 0);
    std::filesystem::last_write_time(File(kept[1]), std::filesystem::file_time_type::clock::now() - minutes(6));
    EXPECT_EQ(RemoveStaleTemporaries(File("f_####.png"), minutes(5)), 1);
    EXPECT_EQ(Files().size(), kept.size() - 1);
}

}  // namespace
}  // namespace maculo
