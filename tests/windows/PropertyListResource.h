// The property list as the host finds it in the Windows plug-in: resource type
// "PIPL", id 16000, language 1033, read through the resource API from the
// library mapped as data, before any of its code runs. Throws
// std::runtime_error when it is missing or differs from the bytes the effect
// is built with.
#pragma once

#include <string>

namespace maculo::check {

#ifdef _WIN32
void CheckPropertyListResource(const std::string& path);
#else
// Only the Windows binary carries resources; the bytes themselves are tested
// on every system.
inline void CheckPropertyListResource(const std::string&) {}
#endif

}  // namespace maculo::check
