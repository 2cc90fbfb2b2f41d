// The control groups that hold this process: a container's or a scheduler's
// limits on its memory and processors are set there, on its own group or on
// any group above it.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace maculo {

// The folders of the process's group and of every group above it, the
// process's own first: in the unified hierarchy for `controller` "", else in
// the hierarchy of that controller ("cpu", "memory"), as /proc/self/cgroup
// (`membership`) names them under the mount `root`. Folders that are not
// there (a container sees its own group as the root) are left out.
std::vector<std::filesystem::path> ControlGroupFolders(std::string_view controller,
                                                       const std::filesystem::path& membership = "/proc/self/cgroup",
                                                       const std::filesystem::path& root = "/sys/fs/cgroup");

}  // namespace maculo
