// The blur kernels, written once for any vector width. BlurKernels.cpp
// includes this file once per instruction set, inside a region compiled for
// that set, with MACULO_KERNEL_NAMESPACE, MACULO_KERNEL_NAME and
// MACULO_VECTOR_BYTES defined (and undefined again at the end).
// Everything used here is included before those regions and nothing here has
// outside linkage, so no function compiled for a wide set can stand in for
// another set's copy. Each lane does the scalar arithmetic of one channel.
//
// Lines hold kLanes image rows side by side, pixel by pixel: one wide vector
// is one pixel of each of them, so the horizontal pass loads whole, aligned
// vectors at every tap, where a row-by-row line would make most of its loads
// straddle two cache lines. Rows are turned into that order and back with a
// few shuffles per vector.

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

constexpr int32_t kLanes = kPixelsPer<Wide>;

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

// v[k] holds kLanes pixels of row k; afterwards v[m] holds pixel m of every
// row (and the other way round: the turn is its own inverse).
template <typename V>
inline void Transpose(V (&v)[kLanes]) {
    if constexpr (kLanes == 2) {
        const V a = __builtin_shufflevector(v[0], v[1], 0, 1, 2, 3, 8, 9, 10, 11);
        const V b = __builtin_shufflevector(v[0], v[1], 4, 5, 6, 7, 12, 13, 14, 15);
        v[0] = a;
        v[1] = b;
    } else if constexpr (kLanes == 4) {
        // Pairs first: (a0 b0 a1 b1), (c0 d0 c1 d1), (a2 b2 a3 b3), (c2 d2 c3 d3).
        const V ab01 = __builtin_shufflevector(v[0], v[1], 0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
        const V cd01 = __builtin_shufflevector(v[2], v[3], 0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
        const V ab23 = __builtin_shufflevector(v[0], v[1], 8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31);
        const V cd23 = __builtin_shufflevector(v[2], v[3], 8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31);
        v[0] = __builtin_shufflevector(ab01, cd01, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
        v[1] = __builtin_shufflevector(ab01, cd01, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
        v[2] = __builtin_shufflevector(ab23, cd23, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
        v[3] = __builtin_shufflevector(ab23, cd23, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
    }
}

// Pixel p of row k of a line.
inline PixelF* InLine(PixelF* line, int32_t p, int k) { return line + p * kLanes + k; }
inline const PixelF* InLine(const PixelF* line, int32_t p, int k) { return line + p * kLanes + k; }

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
    V value[R][C];
    Unroll<R>([&](int j) {
        Unroll<C>([&](int c) {
            const int32_t px = x + c * kPixelsPer<V>;
            // The row below the window of output j is rows[R - 2 - j], the
            // row above it rows[n + R - 1 - j].
            const auto at = [&](int side) {
                return Load<V>(rows[side < 0 ? R - 2 - j : n + R - 1 - j] + px);
            };
            value[j][c] = Clamp01(taps.AddEdges(sum[j][c], at) / divisor);
        });
    });
    if constexpr (kPixelsPer<V> == 1) {
        Unroll<R>([&](int j) {
            Unroll<C>([&](int c) { Store(InLine(lines[j / kLanes], x + c, j % kLanes), value[j][c]); });
        });
    } else {
        Unroll<R / kLanes>([&](int b) {
            Unroll<C>([&](int c) {
                Wide turned[kLanes];
                Unroll<kLanes>([&](int k) { turned[k] = value[b * kLanes + k][c]; });
                Transpose(turned);
                const int32_t px = x + c * kLanes;
                Unroll<kLanes>([&](int m) { Store(InLine(lines[b], px + m, 0), turned[m]); });
            });
        });
    }
}

// Horizontal sums of C pixels from pixel x on, each a wide vector of one
// pixel of every row of the line. write(k, pixel, value) stores row k's
// pixels from `pixel` on, kLanes of them or (value narrow) one.
template <int C, typename Taps, typename Write>
inline void RowGroup(const PixelF* line, int32_t x, const Taps& taps, const LineFilter& filter,
                     const Write& write) {
    const int32_t n = taps.Count();
    const PixelF* first = InLine(line, x - filter.Half(), 0);
    Wide sum[C] = {};
    for (int32_t t = 0; t < n; ++t) {
        Unroll<C>([&](int c) { sum[c] = taps.Add(sum[c], t, Load<Wide>(first + (t + c) * kLanes)); });
    }
    const Wide divisor = Splat<Wide>(filter.divisor);
    Wide value[C];
    Unroll<C>([&](int c) {
        const auto at = [&](int side) { return Load<Wide>(InLine(line, x + c + side * (filter.Half() + 1), 0)); };
        value[c] = Clamp01(taps.AddEdges(sum[c], at) / divisor);
    });
    if constexpr (C % kLanes == 0) {
        Unroll<C / kLanes>([&](int b) {
            Wide turned[kLanes];
            Unroll<kLanes>([&](int m) { turned[m] = value[b * kLanes + m]; });
            Transpose(turned);
            Unroll<kLanes>([&](int k) { write(k, x + b * kLanes, turned[k]); });
        });
    } else {
        Unroll<C>([&](int c) {
            Unroll<kLanes>([&](int k) {
                Narrow one;
                __builtin_memcpy(&one, reinterpret_cast<const char*>(&value[c]) + k * sizeof one, sizeof one);
                write(k, x + c, one);
            });
        });
    }
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
void RowWith(const PixelF* line, int32_t from, int32_t to, const LineFilter& filter, int32_t count,
             PixelF* const* out, const PixelF* const* sharp, float amount) {
    const Taps taps{filter};
    const auto across = [&](const auto& write) {
        int32_t x = from;
        for (; x + kRowVectors <= to; x += kRowVectors) RowGroup<kRowVectors>(line, x, taps, filter, write);
        for (; x < to; ++x) RowGroup<1>(line, x, taps, filter, write);
    };
    if (!sharp) {
        across([&](int k, int32_t px, auto value) {
            if (k < count) Store(out[k] + px, value);
        });
        return;
    }
    across([&](int k, int32_t px, auto blurred) {
        using V = decltype(blurred);
        if (k >= count) return;
        const V s = Load<V>(sharp[k] + px);
        Store(out[k] + px, Clamp01((s - blurred) * Splat<V>(amount) + s));
    });
}

[[gnu::flatten]] void Row(const PixelF* line, int32_t from, int32_t to, const LineFilter& filter, int32_t count,
                          PixelF* const* out, const PixelF* const* sharp, float amount) {
    if (filter.weights) {
        RowWith<TableTaps>(line, from, to, filter, count, out, sharp, amount);
    } else {
        RowWith<BoxTaps>(line, from, to, filter, count, out, sharp, amount);
    }
}

}  // namespace

const BlurKernelSet kKernels{MACULO_KERNEL_NAME, kLanes, &Columns, &Row};

}  // namespace maculo::MACULO_KERNEL_NAMESPACE

#undef MACULO_KERNEL_NAMESPACE
#undef MACULO_KERNEL_NAME
#undef MACULO_VECTOR_BYTES
