#include "engine/BlurKernels.h"

#include <immintrin.h>

#include <boost/preprocessor/iteration/iterate.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

#include "engine/FilterShapes.h"

namespace maculo {

LineFilter TableFilter(const float* spread, int32_t taps) {
    LineFilter filter{LineFilter::Kind::kTable, spread, taps, 0.0f, 0.0f, true};
    for (int32_t i = 0; i < taps; ++i) filter.divisor += filter.Weight(i);
    for (int32_t t = 0; t < taps / 2; ++t) {
        const float low = filter.Weight(t);
        const float high = filter.Weight(taps - 1 - t);
        filter.symmetric = filter.symmetric && std::memcmp(&low, &high, sizeof(float)) == 0;
    }
    return filter;
}

LineFilter BoxFilter(float a) {
    const BoxWindow window = ShapeBoxWindow(a);
    return {LineFilter::Kind::kBox,
            nullptr,
            window.k,
            window.f,
            (window.f + window.f) + static_cast<float>(window.k),
            true};
}

void PadLine(PixelF* line, int32_t width, int32_t reach, int32_t rowsPerLine, LineEnd end) {
    const int32_t last = width - 1;
    const size_t pixelBytes = static_cast<size_t>(rowsPerLine) * sizeof(PixelF);
    for (int32_t p = 1; p <= reach; ++p) {
        const int32_t to = end == LineEnd::kStart ? -p : last + p;
        std::memcpy(line + static_cast<int64_t>(to) * rowsPerLine,
                    line + static_cast<int64_t>(MirrorIndex(to, last)) * rowsPerLine, pixelBytes);
    }
}

}  // namespace maculo

// Each set's kernels are compiled in a region for that set. Only the
// functions defined in a region get its instruction set (GCC's target
// pragma, clang's attribute region). FMA stays off: it would round a multiply
// and an add once instead of twice.
#define MACULO_STRINGIFY(text) #text
#if defined(__clang__)
#define MACULO_TARGET_BEGIN(isa) \
    _Pragma(MACULO_STRINGIFY(clang attribute push(__attribute__((target(isa))), apply_to = function)))
#define MACULO_TARGET_END _Pragma("clang attribute pop")
#else
#define MACULO_TARGET_BEGIN(isa) _Pragma("GCC push_options") _Pragma(MACULO_STRINGIFY(GCC target(isa)))
#define MACULO_TARGET_END _Pragma("GCC pop_options")
#endif

// Each set's kernels: BlurKernels.inl, included once per row of the table.
#define BOOST_PP_ITERATION_LIMITS (0, MACULO_SET_COUNT - 1)
#define BOOST_PP_FILENAME_1 "engine/BlurKernels.inl"
#include BOOST_PP_ITERATE()

namespace maculo {

const BlurKernelSet* KernelsFor(InstructionSet set) {
    // Checks the processor and that the operating system saves the registers.
    __builtin_cpu_init();
    switch (set) {
#define MACULO_KERNELS_CASE(r, data, row)            \
    case InstructionSet::MACULO_SET_ENUMERATOR(row): \
        return __builtin_cpu_supports(MACULO_SET_TARGET(row)) ? &MACULO_SET_KEY(row)::kKernels : nullptr;
        BOOST_PP_SEQ_FOR_EACH(MACULO_KERNELS_CASE, _, MACULO_INSTRUCTION_SETS)
#undef MACULO_KERNELS_CASE
    }
    return nullptr;
}

const BlurKernelSet& WidestKernelsUpTo(const char* key) {
    const BlurKernelSet* chosen = &sse2::kKernels;
    for (const InstructionSet set : kInstructionSets) {
        const BlurKernelSet* kernels = KernelsFor(set);
        if (!kernels) continue;
        chosen = kernels;
        if (key && std::strcmp(key, kernels->key) == 0) break;
    }
    return *chosen;
}

const BlurKernelSet& BestKernels() {
    static const BlurKernelSet& best = WidestKernelsUpTo(std::getenv("MACULO_ISA"));
    return best;
}

}  // namespace maculo
