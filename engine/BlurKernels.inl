// The blur kernels, written once for any vector width. BlurKernelSets.cpp
// includes this file once per instruction set, inside a region compiled for
// that set, with MACULO_KERNEL_NAMESPACE and MACULO_VECTOR_BYTES defined.
// Everything used here is included before those regions and nothing here has
// outside linkage, so no function compiled for a wide set can stand in for
// another set's copy. Each lane does the scalar arithmetic of one channel.

namespace maculo::MACULO_KERNEL_NAMESPACE {
namespace {

using Wide = float __attribute__((vector_size(MACULO_VECTOR_BYTES)));
using Narrow = float __attribute__((vector_size(sizeof(PixelF))));  // one pixel, for row ends

// AVX-512 has 32 vector registers, the narrower sets 16: the groups of sums
// below leave room for the loaded pixels and a weight.
constexpr bool kManyRegisters = MACULO_VECTOR_BYTES == 64;
constexpr int kColumnVectors = kManyRegisters ? 4 : 2;  // times kBandRows sums
constexpr int kRowVectors = kManyRegisters ? 8 : 6;

template <typename V>
constexpr int32_t kPixelsPer = sizeof(V) / sizeof(PixelF);

template <typename V>
inline V Load(const PixelF* p) {
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

template <typename V>
inline void Store(PixelF* p, V v) {
    __builtin_memcpy(p, &v, sizeof v);
}

template <typename V>
inline V Splat(float value) {
    return [value]<size_t... I>(std::index_sequence<I...>) {
        return V{((void)I, value)...};
    }(std::make_index_sequence<sizeof(V) / sizeof(float)>{});
}

// 0...1 per lane, NaN to 0, exactly as the scalar clamp: maxps and minps
// return their second operand unless the first is greater (or less), which
// is the clamp's comparison, NaN included, in one instruction each.
template <typename V>
inline V Clamp01(V v) {
    if constexpr (sizeof(V) == 16) {
        return _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(1.0f));
    } else if constexpr (sizeof(V) == 32) {
        return _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
    } else {
        // The zero-masking forms, with every lane selected: the plain ones
        // start from an undefined register, which GCC 12 warns about.
        const __mmask16 all = 0xFFFF;
        return _mm512_maskz_min_ps(all, _mm512_maskz_max_ps(all, v, _mm512_setzero_ps()), _mm512_set1_ps(1.0f));
    }
}

template <int N, typename F>
inline void Unroll(const F& f) {
    [&]<int... J>(std::integer_sequence<int, J...>) { (f(J), ...); }(std::make_integer_sequence<int, N>{});
}

// Window tap t (0 ... Count() - 1) lies t - Half() pixels from the centre.
// The table weighs it; the box adds it as it is and then adds the pixel just
// before its window and the one just after it, at weight f.
struct TableTaps {
    const LineFilter& filter;
    int32_t Count() const { return filter.taps; }
    template <typename V>
    V Add(V sum, int32_t t, V pixel) const { return sum + filter.weights[t] * pixel; }
    template <typename V, typename At>
    V AddEdges(V sum, const At&) const { return sum; }
};

struct BoxTaps {
    const LineFilter& filter;
    int32_t Count() const { return filter.taps; }
    template <typename V>
    V Add(V sum, int32_t, V pixel) const { return sum + pixel; }
    // at(-1) is the pixel before the window, at(+1) the one after it.
    template <typename V, typename At>
    V AddEdges(V sum, const At& at) const {
        sum = sum + filter.edgeWeight * at(-1);
        return sum + filter.edgeWeight * at(+1);
    }
};

// Vertical sums of kBandRows outputs over the vectors at pixel x ... of C
// vectors. Tap t of output j sits on rows[t + kBandRows - 1 - j]; walking the
// rows upwards, the first kBandRows - 1 and the last kBandRows - 1 rows feed
// only some of the outputs.
template <typename V, int C, typename Taps>
inline void ColumnGroup(const PixelF* const* rows, int32_t x, const Taps& taps, const LineFilter& filter,
                        PixelF* const* lines) {
    constexpr int R = kBandRows;
    const int32_t n = taps.Count();
    V sum[R][C] = {};
    // Adds row g to the outputs j for which feeds(j) holds.
    const auto step = [&](int32_t g, const auto& feeds) {
        V pixel[C];
        Unroll<C>([&](int c) { pixel[c] = Load<V>(rows[g] + x + c * kPixelsPer<V>); });
        Unroll<R>([&](int j) {
            if (feeds(j)) Unroll<C>([&](int c) { sum[j][c] = taps.Add(sum[j][c], g - (R - 1 - j), pixel[c]); });
        });
    };
    // The rows the next band of outputs will need first, into the cache
    // while this band works.
    Unroll<R>([&](int k) {
        Unroll<C>([&](int c) { __builtin_prefetch(rows[-1 - k] + x + c * kPixelsPer<V>); });
    });
    if (n >= R - 1) {
        // Spelled out, so that which outputs the first and last rows feed is
        // known when compiling.
        Unroll<R - 1>([&](int g) { step(g, [&](int j) { return j >= R - 1 - g; }); });
        for (int32_t g = R - 1; g < n; ++g) step(g, [](int) { return true; });
        Unroll<R - 1>([&](int e) { step(n + e, [&](int j) { return j < R - 1 - e; }); });
    } else {
        for (int32_t g = 0; g < n + R - 1; ++g) {
            step(g, [&](int j) { return g - (R - 1 - j) >= 0 && g - (R - 1 - j) < n; });
        }
    }

    const V divisor = Splat<V>(filter.divisor);
    Unroll<R>([&](int j) {
        Unroll<C>([&](int c) {
            const int32_t px = x + c * kPixelsPer<V>;
            // The row below the window of output j is rows[R - 2 - j], the
            // row above it rows[n + R - 1 - j].
            const auto at = [&](int side) {
                return Load<V>(rows[side < 0 ? R - 2 - j : n + R - 1 - j] + px);
            };
            const V s = taps.AddEdges(sum[j][c], at);
            Store(lines[j] + px, Clamp01(s / divisor));
        });
    });
}

// Horizontal sums at pixel x ... of C vectors; write(pixel, value) stores.
template <typename V, int C, typename Taps, typename Write>
inline void RowGroup(const PixelF* line, int32_t x, const Taps& taps, const LineFilter& filter,
                     const Write& write) {
    const int32_t n = taps.Count();
    const PixelF* first = line + x - filter.Half();
    V sum[C] = {};
    for (int32_t t = 0; t < n; ++t) {
        Unroll<C>([&](int c) { sum[c] = taps.Add(sum[c], t, Load<V>(first + t + c * kPixelsPer<V>)); });
    }
    const V divisor = Splat<V>(filter.divisor);
    Unroll<C>([&](int c) {
        const int32_t px = x + c * kPixelsPer<V>;
        const auto at = [&](int side) { return Load<V>(line + px + side * (filter.Half() + 1)); };
        write(px, Clamp01(taps.AddEdges(sum[c], at) / divisor));
    });
}

// Runs group.operator()<V, C>(x) over pixels from ... to - 1: groups of C
// wide vectors, then single wide vectors, then single pixels.
template <int C, typename Group>
inline void Across(int32_t from, int32_t to, const Group& group) {
    int32_t x = from;
    for (; x + C * kPixelsPer<Wide> <= to; x += C * kPixelsPer<Wide>) group.template operator()<Wide, C>(x);
    for (; x + kPixelsPer<Wide> <= to; x += kPixelsPer<Wide>) group.template operator()<Wide, 1>(x);
    for (; x < to; ++x) group.template operator()<Narrow, 1>(x);
}

template <typename Taps>
void ColumnsWith(const PixelF* const* rows, int32_t from, int32_t to, const LineFilter& filter,
                 PixelF* const* lines) {
    const Taps taps{filter};
    Across<kColumnVectors>(from, to, [&]<typename V, int C>(int32_t x) {
        ColumnGroup<V, C>(rows, x, taps, filter, lines);
    });
}

// Flattened: every helper and lambda inlined, so that the sums stay in registers.
[[gnu::flatten]] void Columns(const PixelF* const* rows, int32_t from, int32_t to, const LineFilter& filter,
                             PixelF* const* lines) {
    if (filter.weights) {
        ColumnsWith<TableTaps>(rows, from, to, filter, lines);
    } else {
        ColumnsWith<BoxTaps>(rows, from, to, filter, lines);
    }
}

template <typename Taps>
void RowWith(const PixelF* line, int32_t width, const LineFilter& filter, const PixelF* sharp,
             float amount, PixelF* out) {
    const Taps taps{filter};
    if (!sharp) {
        Across<kRowVectors>(0, width, [&]<typename V, int C>(int32_t x) {
            RowGroup<V, C>(line, x, taps, filter, [&](int32_t px, V value) { Store(out + px, value); });
        });
        return;
    }
    Across<kRowVectors>(0, width, [&]<typename V, int C>(int32_t x) {
        const V gain = Splat<V>(amount);
        RowGroup<V, C>(line, x, taps, filter, [&](int32_t px, V blurred) {
            const V s = Load<V>(sharp + px);
            Store(out + px, Clamp01((s - blurred) * gain + s));
        });
    });
}

[[gnu::flatten]] void Row(const PixelF* line, int32_t width, const LineFilter& filter, const PixelF* sharp, float amount,
         PixelF* out) {
    if (filter.weights) {
        RowWith<TableTaps>(line, width, filter, sharp, amount, out);
    } else {
        RowWith<BoxTaps>(line, width, filter, sharp, amount, out);
    }
}

}  // namespace

const BlurKernelSet kKernels{MACULO_KERNEL_NAME, &Columns, &Row};

}  // namespace maculo::MACULO_KERNEL_NAMESPACE
