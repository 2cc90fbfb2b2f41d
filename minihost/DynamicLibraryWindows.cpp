#include <windows.h>

#include <stdexcept>
#include <utility>

#include "minihost/DynamicLibrary.h"

namespace maculo::minihost {

DynamicLibrary::DynamicLibrary(const std::string& path) {
    handle_ = LoadLibraryA(path.c_str());
    if (!handle_) throw std::runtime_error("cannot load " + path + ": error " + std::to_string(GetLastError()));
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

}  // namespace maculo::minihost
