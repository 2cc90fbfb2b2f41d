#include "engine/BlurKernels.h"

#include <immintrin.h>

#include <cstring>
#include <type_traits>
#include <utility>

#include "engine/FilterShapes.h"

namespace maculo {

LineFilter TableFilter(const float* weights, int32_t taps) {
    float sum = 0.0f;
    for (int32_t i = 0; i < taps; ++i) sum += weights[i];
    return {weights, taps, 0.0f, sum};
}

LineFilter BoxFilter(float a) {
    const BoxWindow window = ShapeBoxWindow(a);
    return {nullptr, window.k, window.f, (window.f + window.f) + static_cast<float>(window.k)};
}

void PadLine(PixelF* line, int32_t width, int32_t reach, int32_t lanes) {
    const int32_t last = width - 1;
    const size_t pixelBytes = static_cast<size_t>(lanes) * sizeof(PixelF);
    const auto copy = [&](int32_t to, int32_t from) {
        std::memcpy(line + static_cast<int64_t>(to) * lanes, line + static_cast<int64_t>(from) * lanes, pixelBytes);
    };
    for (int32_t p = 1; p <= reach; ++p) {
        copy(-p, MirrorIndex(-p, last));
        copy(last + p, MirrorIndex(last + p, last));
    }
}

}  // namespace maculo

// Baseline x86-64: SSE2, one pixel per vector.
#define MACULO_KERNEL_NAMESPACE sse2
#define MACULO_KERNEL_NAME "SSE2"
#define MACULO_VECTOR_BYTES 16
#include "engine/BlurKernels.inl"
#undef MACULO_KERNEL_NAMESPACE
#undef MACULO_KERNEL_NAME
#undef MACULO_VECTOR_BYTES

// The wider sets, for the functions defined in their regions only. FMA stays
// off: it would round a multiply and an add once instead of twice. Not on
// Windows: MinGW-w64 cannot align the stack for 32- and 64-byte vectors, so
// their spills would fault inside the host; the plug-in stays baseline x86-64.
#ifndef _WIN32
#define MACULO_PRAGMA(...) _Pragma(#__VA_ARGS__)
#ifdef __clang__
#define MACULO_TARGET_BEGIN(set) MACULO_PRAGMA(clang attribute push(__attribute__((target(set))), apply_to = function))
#define MACULO_TARGET_END MACULO_PRAGMA(clang attribute pop)
#else
#define MACULO_TARGET_BEGIN(set) MACULO_PRAGMA(GCC push_options) MACULO_PRAGMA(GCC target(set))
#define MACULO_TARGET_END MACULO_PRAGMA(GCC pop_options)
#endif

MACULO_TARGET_BEGIN("avx2")
#define MACULO_KERNEL_NAMESPACE avx2
#define MACULO_KERNEL_NAME "AVX2"
#define MACULO_VECTOR_BYTES 32
#include "engine/BlurKernels.inl"
#undef MACULO_KERNEL_NAMESPACE
#undef MACULO_KERNEL_NAME
#undef MACULO_VECTOR_BYTES
MACULO_TARGET_END

MACULO_TARGET_BEGIN("avx512f")
#define MACULO_KERNEL_NAMESPACE avx512
#define MACULO_KERNEL_NAME "AVX-512"
#define MACULO_VECTOR_BYTES 64
#include "engine/BlurKernels.inl"
#undef MACULO_KERNEL_NAMESPACE
#undef MACULO_KERNEL_NAME
#undef MACULO_VECTOR_BYTES
MACULO_TARGET_END
#endif

namespace maculo {

const BlurKernelSet* KernelsFor(InstructionSet set) {
    if (set == InstructionSet::kSse2) return &sse2::kKernels;
#ifndef _WIN32
    // Checks the processor and that the operating system saves the registers.
    __builtin_cpu_init();
    if (set == InstructionSet::kAvx2) return __builtin_cpu_supports("avx2") ? &avx2::kKernels : nullptr;
    if (set == InstructionSet::kAvx512) return __builtin_cpu_supports("avx512f") ? &avx512::kKernels : nullptr;
#endif
    return nullptr;
}

const BlurKernelSet& BestKernels() {
    static const BlurKernelSet& best = [] () -> const BlurKernelSet& {
        for (const InstructionSet set : {InstructionSet::kAvx512, InstructionSet::kAvx2}) {
            if (const BlurKernelSet* kernels = KernelsFor(set)) return *kernels;
        }
        return sse2::kKernels;
    }();
    return best;
}

}  // namespace maculo
