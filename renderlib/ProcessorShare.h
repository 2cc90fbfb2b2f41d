// How many threads a render should start: the processors this process may
// run on, so that a farm's task or a container needs no --threads.
#pragma once

#include <cstdint>
#include <filesystem>

namespace maculo {

// The processors in the process's affinity mask (taskset, a scheduler's
// binding), fewer where its control groups' quota allows less time.
int32_t ProcessorShare();

// The processors' worth of time the control groups' quotas allow (cpu.max,
// or cpu.cfs_quota_us over cpu.cfs_period_us in the older hierarchy), the
// tightest along the way up, rounded up: the threads then use the whole
// quota. 0 where no group sets one. The paths as ControlGroupFolders takes them.
int32_t ControlGroupShare(const std::filesystem::path& membership = "/proc/self/cgroup",
                          const std::filesystem::path& root = "/sys/fs/cgroup");

}  // namespace maculo
