#include "renderlib/InstallLayout.h"

#include <filesystem>
#include <system_error>

namespace maculo {

std::string CompanionFile(const std::string& name, const std::string& installed) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::read_symlink("/proc/self/exe", ec).parent_path();
    const fs::path beside = folder / name;  // in a build tree
    if (fs::exists(beside, ec)) return beside.string();
    return (folder / installed).lexically_normal().string();
}

}  // namespace maculo
