// A weight table that cannot be allocated must end the call with the
// out-of-memory code instead of an exception, releasing what it holds. This
// binary replaces the global allocator so that chosen allocations fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "engine/PatternCpu.h"

namespace {
int failAfter = -1;  // allocations still to succeed before one fails; negative: none fails
}  // namespace

// Kept out of line: inlined, the compiler would pair the free below with this
// new and warn of a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    if (failAfter == 0) throw std::bad_alloc();
    if (failAfter > 0) --failAfter;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace maculo {
namespace {

TEST(PatternAllocation, FailedTableReportsOutOfMemory) {
    const ImageDims dims{5, 4, 5};
    std::vector<PixelF> input(20, PixelF{0.5f, 0.25f, 0.75f, 1.0f}), blurred(20), pattern(20);
    const PatternSettings s{kBlurGaussian, kGrayOff, 3, 2.0f, 2.0f, 20.0f, false};
    // First the blur table fails, then the sharpen table after the blur table
    // was made (a leak of it would show under the leak checker); then none.
    for (const int okBefore : {0, 1, -1}) {
        failAfter = okBefore;
        const int32_t result = RunPatternCpu(input.data(), blurred.data(), pattern.data(), dims, s, {nullptr, nullptr});
        failAfter = -1;
        EXPECT_EQ(result, okBefore < 0 ? kPatternOk : kPatternOutOfMemory) << okBefore;
    }
}

}  // namespace
}  // namespace maculo
