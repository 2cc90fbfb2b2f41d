// Where the program finds what comes with it (the plug-in, its modules):
// beside it in a build tree, or where an install puts them relative to it (both found through the running
// program's own path, so a moved install keeps working).
#pragma once

#include <string>

namespace maculo {

// `name` beside the program if it is there, else `installed` (a path
// relative to the program's folder).
std::string CompanionFile(const std::string& name, const std::string& installed);

}  // namespace maculo
