#include "renderlib/ControlGroups.h"

#include <fstream>
#include <string>

namespace maculo {
namespace {

namespace fs = std::filesystem;

// Whether a line's controller list ("cpu,cpuacct") names `controller`.
bool Names(std::string_view list, std::string_view controller) {
    for (size_t start = 0; start <= list.size();) {
        const size_t end = std::min(list.find(',', start), list.size());
        if (list.substr(start, end - start) == controller) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::vector<fs::path> ControlGroupFolders(std::string_view controller, const fs::path& membership,
                                          const fs::path& root) {
    std::vector<fs::path> folders;
    std::ifstream lines(membership);
    // "ID:CONTROLLERS:PATH"; the unified hierarchy's line has ID 0 and none.
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find(':'), second = line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string_view controllers = std::string_view(line).substr(first + 1, second - first - 1);
        if (controller.empty() ? !controllers.empty() || line.compare(0, first, "0") != 0
                               : !Names(controllers, controller))
            continue;
        const fs::path mount = controller.empty() ? root : root / controllers;
        std::error_code ec;
        for (fs::path group = fs::path(line.substr(second + 1)).relative_path();; group = group.parent_path()) {
            if (const fs::path folder = group.empty() ? mount : mount / group; fs::is_directory(folder, ec))
                folders.push_back(folder);
            if (group.empty()) break;
        }
        break;
    }
    return folders;
}

}  // namespace maculo
