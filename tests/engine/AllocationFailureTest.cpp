// Memory the call cannot get must end it with the out-of-memory code instead
// of an exception, releasing what it holds. This binary replaces the global
// allocator so that chosen allocations fail.
#include <gtest/gtest.h>
#include <omp.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "engine/PatternCpu.h"
#include "engine/PatternWorkspace.h"

namespace {

// Allocations still to succeed before the next one fails; negative: never fail.
int failAfter = -1;
bool refused = false;

}  // namespace

// Kept out of line: inlined, the compiler would pair the free below with this
// new and warn of a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    if (failAfter == 0) {
        refused = true;
        throw std::bad_alloc();
    }
    if (failAfter > 0) --failAfter;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace maculo {
namespace {

// Every allocation the call makes (weight tables, the threads' working
// lines) fails in turn: each failure ends the call with the out-of-memory
// code, releasing what it holds (a leak would show under the leak checker),
// until the call needs no more and succeeds. A workspace that failed to
// make the threads' scratch holds none for the next call to take for whole.
TEST(PatternAllocation, EveryFailedAllocationReportsOutOfMemory) {
    // Tall enough that each of three threads iterates a chunk of rows.
    const ImageDims dims{5, 96, 5};
    std::vector<PixelF> input(5 * 96), blurred(input.size()), pattern(input.size());
    for (size_t i = 0; i < input.size(); ++i) input[i] = {0.25f, float(i % 7) / 7, float(i % 11) / 11, 0.5f};
    const PatternSettings s{kBlurGaussian, kGrayOff, 3, 2.0f, 2.0f, 20.0f, false};
    omp_set_num_threads(3);
    PatternWorkspace workspace;  // kept from call to call, as the filter keeps it from frame to frame
    int failures = 0;
    for (refused = true; refused; ++failures) {
        failAfter = failures;
        refused = false;
        const PatternStatus result =
            RunPatternCpu(input.data(), blurred.data(), pattern.data(), dims, s, {nullptr, nullptr}, &workspace).status;
        failAfter = -1;
        EXPECT_EQ(result, refused ? PatternStatus::kOutOfMemory : PatternStatus::kDone) << failures;
    }
    EXPECT_GE(failures, 6);  // two tables and each thread's lines, then the call that succeeds
}

}  // namespace
}  // namespace maculo
