#include "renderlib/ProcessorShare.h"

#include <sched.h>

#include <fstream>
#include <thread>

#include "tests/cli/ScratchFolder.h"

namespace maculo {
namespace {

using ProcessorShareOf = ScratchFolder;

TEST_F(ProcessorShareOf, ControlGroupsIsTheTightestQuotaRoundedUp) {
    // Writes the files, "name=text" each, and reads the share they give.
    const auto share = [&](const std::vector<std::string>& files) {
        for (const std::string& file : files) {
            const std::filesystem::path path = File(file.substr(0, file.find('=')));
            std::filesystem::create_directories(path.parent_path());
            std::ofstream(path) << file.substr(file.find('=') + 1) << "\n";
        }
        return ControlGroupShare(File("cgroup"), File("root"));
    };
    // The unified hierarchy: the job's group sets none, the user's 2.5
    // processors, the machine's 4.
    EXPECT_EQ(share({"cgroup=0::/user/job", "root/cpu.max=400000 100000", "root/user/cpu.max=250000 100000",
                     "root/user/job/cpu.max=max 100000"}),
              3);
    EXPECT_EQ(share({"root/user/job/cpu.max=50000 100000"}), 1);
    // A container sees its own group as the root, not the path it is named by.
    EXPECT_EQ(share({"cgroup=0::/far/away/container"}), 4);
    // The older hierarchy, with a quota per controller; -1 sets none.
    EXPECT_EQ(share({"cgroup=4:memory:/a\n3:cpu,cpuacct:/a/b\n0::/", "root/cpu.max=max 100000",
                     "root/cpu,cpuacct/a/cpu.cfs_quota_us=200000", "root/cpu,cpuacct/a/cpu.cfs_period_us=100000",
                     "root/cpu,cpuacct/a/b/cpu.cfs_quota_us=-1", "root/cpu,cpuacct/a/b/cpu.cfs_period_us=100000"}),
              2);
    EXPECT_EQ(share({"cgroup=0::/"}), 0);
}

TEST(ProcessorShare, FollowsTheAffinityMask) {
    EXPECT_GE(ProcessorShare(), 1);
    int32_t share = 0;
    std::thread([&] {  // the mask is the thread's own
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
        share = ProcessorShare();
    }).join();
    EXPECT_EQ(share, 1);
}

}  // namespace
}  // namespace maculo
