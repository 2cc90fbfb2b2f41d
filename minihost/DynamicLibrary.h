// A loaded shared library. The operating-system calls live in one file per
// system (DynamicLibraryPosix.cpp here).
#pragma once

#include <string>

namespace maculo::minihost {

class DynamicLibrary {
public:
    // Loads the library; throws std::runtime_error with the system's reason.
    explicit DynamicLibrary(const std::string& path);
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The exported symbol's address, or null when there is none.
    void* Symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

}  // namespace maculo::minihost
