#include "plugin/StayLoaded.h"

#include <windows.h>

namespace maculo {

void StayLoaded() noexcept {
    // Any address inside the library names it; a pinned module ignores every
    // later FreeLibrary.
    static const bool pinned [[maybe_unused]] = [] {
        HMODULE self = nullptr;
        return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                  reinterpret_cast<LPCWSTR>(&StayLoaded), &self) != 0;
    }();
}

}  // namespace maculo
