#include "cli/ProcessorShare.h"

#include <sched.h>

#include <fstream>
#include <thread>

#include "ScratchFolder.h"

namespace maculo {
namespace {

using ProcessorShareOf = ScratchFolder;

TEST_F(ProcessorShareOf, ControlGroupsIsTheTightestQuotaRoundedUp) {
    const auto write = [&](const std::string& file, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(File(file)).parent_path());
        std::ofstream(File(file)) << text;
    };
    const std::string membership = File("cgroup");
    // The unified hierarchy: the job's group sets none, the user's 2.5
    // processors, the machine's 4.
    write("cgroup", "0::/user/job\n");
    write("root/cpu.max", "400000 100000\n");
    write("root/user/cpu.max", "250000 100000\n");
    write("root/user/job/cpu.max", "max 100000\n");
    EXPECT_EQ(ControlGroupShare(membership, File("root")), 3);
    write("root/user/job/cpu.max", "50000 100000\n");
    EXPECT_EQ(ControlGroupShare(membership, File("root")), 1);
    // A container sees its own group as the root, not the path it is named by.
    write("cgroup", "0::/far/away/container\n");
    EXPECT_EQ(ControlGroupShare(membership, File("root")), 4);
    // The older hierarchy, with a quota per controller; -1 sets none.
    write("cgroup", "4:memory:/a\n3:cpu,cpuacct:/a/b\n0::/\n");
    write("root/cpu.max", "max 100000\n");
    write("root/cpu,cpuacct/a/cpu.cfs_quota_us", "200000\n");
    write("root/cpu,cpuacct/a/cpu.cfs_period_us", "100000\n");
    write("root/cpu,cpuacct/a/b/cpu.cfs_quota_us", "-1\n");
    write("root/cpu,cpuacct/a/b/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(ControlGroupShare(membership, File("root")), 2);
    write("cgroup", "0::/\n");
    EXPECT_EQ(ControlGroupShare(membership, File("root")), 0);
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
