#include "minihost/LargePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace maculo::minihost {

void AdviseLargePages([[maybe_unused]] void* bytes, [[maybe_unused]] size_t size) noexcept {
#if defined(__linux__)
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    const auto start = reinterpret_cast<uintptr_t>(bytes);
    const uintptr_t begin = (start + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (start + size) & ~(kLargePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace maculo::minihost
