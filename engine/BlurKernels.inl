// The blur kernels, written once for any vector width. BlurKernels.cpp
// includes this file once per row of the instruction-set table
// (InstructionSets.h), and the file puts itself in a region compiled for
// that row's set. Everything used here is included before that and nothing
// here has outside linkage, so no function compiled for a wide set can stand
// in for another set's copy. Each lane does the scalar arithmetic of one
// channel.
//
// Lines hold kRowsPerLine image rows side by side, pixel by pixel: one wide vector
// is one pixel of each of them, so the horizontal pass loads whole, aligned
// vectors at every tap, where a row-by-row line would make most of its loads
// straddle two cache lines. Rows are turned into that order and back with a
// few shuffles per vector.

#define MACULO_KERNEL_ROW BOOST_PP_SEQ_ELEM(BOOST_PP_ITERATION(), MACULO_INSTRUCTION_SETS)
#define MACULO_KERNEL_NAMESPACE MACULO_SET_KEY(MACULO_KERNEL_ROW)
#define MACULO_VECTOR_BYTES MACULO_SET_VECTOR_BYTES(MACULO_KERNEL_ROW)
MACULO_TARGET_BEGIN(MACULO_SET_TARGET(MACULO_KERNEL_ROW))
#if !MACULO_SET_COMMONING(MACULO_KERNEL_ROW) && !defined(__clang__)
#pragma GCC optimize("no-predictive-commoning")
#endif

namespace maculo::MACULO_KERNEL_NAMESPACE {
namespace {

using Wide = float __attribute__((vector_size(MACULO_VECTOR_BYTES)));
using Narrow = float __attribute__((vector_size(sizeof(PixelF))));  // one pixel, for row ends

constexpr KernelSchedule kSchedule = MACULO_SET_SCHEDULE(MACULO_KERNEL_ROW);
static_assert(Fits(kSchedule, MACULO_VECTOR_BYTES),
              "the schedule spills the kernels' sums or cuts bands they cannot take");
constexpr int kColumnVectors = kSchedule.columnVectors;
constexpr int kRowVectors = kSchedule.rowVectors;

template <typename V>
constexpr int32_t kPixelsPer = sizeof(V) / sizeof(PixelF);

constexpr int32_t kRowsPerLine = kPixelsPer<Wide>;

// Pixels from the start of the wide vector of memory p lies in.
inline int32_t PixelsPastAVector(const PixelF* p) {
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(p) % sizeof(Wide) / sizeof(PixelF));
}

// Pixels from the start of the cache line p lies in.
inline int32_t PixelsPastALine(const PixelF* p) {
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(p) % kCacheLineBytes / sizeof(PixelF));
}

// Whole vectors from and to memory of any alignment: pixels, or the sums
// in progress.
template <typename V>
inline V Load(const void* p) {
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

template <typename V>
inline void Store(void* p, V v) {
    __builtin_memcpy(p, &v, sizeof v);
}

// With kStream, stores a result pixel vector past the caches when it is a
// whole cache line of its own (nothing reads it back soon enough to find
// it there), otherwise as Store does. Pairs of 32-byte stores past the
// caches measured slower than ordinary stores.
template <bool kStream, typename V>
inline void StoreResult(PixelF* p, V v) {
    if constexpr (kStream && sizeof(V) == kCacheLineBytes) {
        if (PixelsPastAVector(p) == 0) {
            _mm512_stream_ps(reinterpret_cast<float*>(p), v);
            return;
        }
    }
    Store(p, v);
}

// clang-format 14 would split these immediately invoked template lambdas
// from their calls.
// clang-format off
template <typename V>
inline V Splat(float value) {
    return [value]<size_t... I>(std::index_sequence<I...>) {
        return V{((void)I, value)...};
    }(std::make_index_sequence<sizeof(V) / sizeof(float)>{});
}
// clang-format on

// 0...1 per lane, NaN to 0, exactly as the scalar clamp. With SSE2 and AVX2,
// maxps and minps do it: they return their second operand unless the first is
// greater (or less), which is the clamp's comparison, NaN included. AVX-512
// works on the bits as integers instead, on execution ports the blurs' float
// additions leave free (measured faster there, slower with AVX2): adding
// 2^23 - 1 wraps every positive NaN (and only those) below zero and lifts
// every negative value or negative NaN at most to 2^23 - 1, so that after the
// signed maximum with 2^23 - 1 both come back as +0 once it is taken off
// again; the ordered floats in between keep their order as integers, and the
// minimum with 1's bits does the rest.
template <typename V>
inline V Clamp01(V v) {
    constexpr int kLift = 0x007FFFFF;
    constexpr int kOne = 0x3F800000;
    if constexpr (MACULO_VECTOR_BYTES < 64 && sizeof(V) == 16) {
        return _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(1.0f));
    } else if constexpr (MACULO_VECTOR_BYTES < 64) {
        return _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
    } else if constexpr (sizeof(V) == 16) {
        const __m128i lift = _mm_set1_epi32(kLift);
        const __m128i bits = _mm_add_epi32(_mm_castps_si128(v), lift);
        const __m128i clamped = _mm_min_epi32(_mm_max_epi32(bits, lift), _mm_set1_epi32(kOne + kLift));
        return _mm_castsi128_ps(_mm_sub_epi32(clamped, lift));
    } else {
        // The zero-masking forms, with every lane selected: the plain ones
        // start from an undefined register, which GCC 12 warns about.
        const __mmask16 all = 0xFFFF;
        const __m512i lift = _mm512_set1_epi32(kLift);
        const __m512i bits = _mm512_add_epi32(_mm512_castps_si512(v), lift);
        const __m512i clamped =
            _mm512_maskz_min_epi32(all, _mm512_maskz_max_epi32(all, bits, lift), _mm512_set1_epi32(kOne + kLift));
        return _mm512_castsi512_ps(_mm512_sub_epi32(clamped, lift));
    }
}

// clang-format off
template <int N, typename F>
inline void Unroll(const F& f) {
    [&]<int... J>(std::integer_sequence<int, J...>) { (f(J), ...); }(std::make_integer_sequence<int, N>{});
}

// As Unroll, with each index a compile-time constant.
template <int N, typename F>
[[gnu::always_inline]] inline void UnrollConstant(const F& f) {
    [&]<int... J>(std::integer_sequence<int, J...>) __attribute__((always_inline)) {
        (f(std::integral_constant<int, J>{}), ...);
    }(std::make_integer_sequence<int, N>{});
}
// clang-format on

// Stores pixel m of v at first + m * kRowsPerLine: into one row of a line.
// 64-byte vectors store each pixel by a store of the whole vector that
// writes only that pixel's lanes; extracting it first takes a shuffle on
// the ports the blurs' additions use (measured slower).
template <typename V>
inline void StoreAcross(PixelF* first, V v) {
    if constexpr (sizeof(V) == 64) {
        constexpr int kFloats = sizeof(PixelF) / sizeof(float);
        auto* base = reinterpret_cast<float*>(first);
        // Pixel m lies at float m * kFloats of the vector and goes to
        // float m * kRowsPerLine * kFloats from first.
        Unroll<kPixelsPer<V>>([&](int m) {
            const auto only = static_cast<__mmask16>(0xF << (m * kFloats));
            _mm512_mask_storeu_ps(base + m * (kRowsPerLine - 1) * kFloats, only, v);
        });
    } else {
        Unroll<kPixelsPer<V>>([&](int m) {
            Narrow one;
            __builtin_memcpy(&one, reinterpret_cast<const char*>(&v) + m * sizeof one, sizeof one);
            Store(first + m * kRowsPerLine, one);
        });
    }
}

// v[k] holds kRowsPerLine pixels of row k; afterwards v[m] holds pixel m of every
// row (and the other way round: the turn is its own inverse).
template <typename V>
inline void Transpose(V (&v)[kRowsPerLine]) {
    if constexpr (kRowsPerLine == 2) {
        const V a = __builtin_shufflevector(v[0], v[1], 0, 1, 2, 3, 8, 9, 10, 11);
        const V b = __builtin_shufflevector(v[0], v[1], 4, 5, 6, 7, 12, 13, 14, 15);
        v[0] = a;
        v[1] = b;
    } else if constexpr (kRowsPerLine == 4) {
        // Pairs first: (a0 b0 a1 b1), (c0 d0 c1 d1), (a2 b2 a3 b3), (c2 d2 c3 d3).
        const V ab01 = __builtin_shufflevector(v[0], v[1], 0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
        const V cd01 = __builtin_shufflevector(v[2], v[3], 0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
        const V ab23 =
            __builtin_shufflevector(v[0], v[1], 8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31);
        const V cd23 =
            __builtin_shufflevector(v[2], v[3], 8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31);
        v[0] = __builtin_shufflevector(ab01, cd01, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
        v[1] = __builtin_shufflevector(ab01, cd01, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
        v[2] = __builtin_shufflevector(ab23, cd23, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
        v[3] = __builtin_shufflevector(ab23, cd23, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
    }
}

// Pixel p of row k of a line.
inline PixelF* InLine(PixelF* line, int32_t p, int k) { return line + p * kRowsPerLine + k; }
inline const PixelF* InLine(const PixelF* line, int32_t p, int k) { return line + p * kRowsPerLine + k; }

// Window tap t (0 ... Count() - 1) lies t - Half() pixels from the centre.
// The table weighs it; the box adds it as it is and then adds the pixel just
// before its window and the one just after it, at weight f. A sum begins
// with its first tap (First) instead of adding it to 0, as the rolling sums
// do: only a sum of nothing but negative zeros differs (-0 for +0), which
// the clamp turns into +0 all the same.
struct TableTaps {
    const LineFilter& filter;
    int32_t Count() const { return filter.taps; }
    template <typename V>
    V First(V pixel) const {
        return Load<V>(filter.spread) * pixel;
    }
    template <typename V>
    V Add(V sum, int32_t t, V pixel) const {
        return sum + Load<V>(filter.spread + static_cast<int64_t>(t) * kSpread) * pixel;
    }
    template <typename V, typename At>
    V AddEdges(V sum, const At&) const {
        return sum;
    }
};

struct BoxTaps {
    const LineFilter& filter;
    int32_t Count() const { return filter.taps; }
    template <typename V>
    V First(V pixel) const {
        return pixel;
    }
    template <typename V>
    V Add(V sum, int32_t, V pixel) const {
        return sum + pixel;
    }
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
    // Adds row g to the outputs j it feeds (fed(j)); an output whose first
    // tap it is (starts(j)) begins its sum with it.
    const auto step = [&](int32_t g, const auto& fed, const auto& starts) {
        V pixel[C];
        Unroll<C>([&](int c) { pixel[c] = Load<V>(rows[g] + x + c * kPixelsPer<V>); });
        Unroll<R>([&](int j) {
            if (starts(j)) {
                Unroll<C>([&](int c) { sum[j][c] = taps.First(pixel[c]); });
            } else if (fed(j)) {
                Unroll<C>([&](int c) { sum[j][c] = taps.Add(sum[j][c], g - (R - 1 - j), pixel[c]); });
            }
        });
    };
    const auto all = [](int) { return true; };
    const auto none = [](int) { return false; };
    if (n >= R) {
        // Spelled out, so that which outputs the first and last rows feed is
        // known when compiling.
        Unroll<R>([&](int g) {
            const auto fed = [&](int j) { return j > R - 1 - g; };
            const auto starts = [&](int j) { return j == R - 1 - g; };
            step(g, fed, starts);
        });
        for (int32_t g = R; g < n; ++g) step(g, all, none);
        Unroll<R - 1>([&](int e) {
            const auto fed = [&](int j) { return j < R - 1 - e; };
            step(n + e, fed, none);
        });
    } else {
        for (int32_t g = 0; g < n + R - 1; ++g) {
            const auto fed = [&](int j) { return g - (R - 1 - j) > 0 && g - (R - 1 - j) < n; };
            const auto starts = [&](int j) { return g - (R - 1 - j) == 0; };
            step(g, fed, starts);
        }
    }

    const V divisor = Splat<V>(filter.divisor);
    V value[R][C];
    Unroll<R>([&](int j) {
        Unroll<C>([&](int c) {
            const int32_t px = x + c * kPixelsPer<V>;
            // The row below the window of output j is rows[R - 2 - j], the
            // row above it rows[n + R - 1 - j].
            const auto at = [&](int side) { return Load<V>(rows[side < 0 ? R - 2 - j : n + R - 1 - j] + px); };
            value[j][c] = Clamp01(taps.AddEdges(sum[j][c], at) / divisor);
        });
    });
    if constexpr (kPixelsPer<V> == 1) {
        Unroll<R>([&](int j) {
            Unroll<C>([&](int c) { Store(InLine(lines[j / kRowsPerLine], x + c, j % kRowsPerLine), value[j][c]); });
        });
    } else {
        Unroll<R / kRowsPerLine>([&](int b) {
            Unroll<C>([&](int c) {
                Wide turned[kRowsPerLine];
                Unroll<kRowsPerLine>([&](int k) { turned[k] = value[b * kRowsPerLine + k][c]; });
                Transpose(turned);
                const int32_t px = x + c * kRowsPerLine;
                Unroll<kRowsPerLine>([&](int m) { Store(InLine(lines[b], px + m, 0), turned[m]); });
            });
        });
    }
}

// Horizontal sums of C pixels from pixel x on, each a wide vector of one
// pixel of every row of the line. write(k, pixel, value) stores row k's
// pixels from `pixel` on, kRowsPerLine of them or (value narrow) one.
template <int C, typename Taps, typename Write>
inline void RowGroup(const PixelF* line, int32_t x, const Taps& taps, const LineFilter& filter, const Write& write) {
    const int32_t n = taps.Count();
    const PixelF* first = InLine(line, x - filter.Half(), 0);
    Wide sum[C];
    Unroll<C>([&](int c) { sum[c] = taps.First(Load<Wide>(first + c * kRowsPerLine)); });
    for (int32_t t = 1; t < n; ++t) {
        Unroll<C>([&](int c) { sum[c] = taps.Add(sum[c], t, Load<Wide>(first + (t + c) * kRowsPerLine)); });
    }
    const Wide divisor = Splat<Wide>(filter.divisor);
    Wide value[C];
    Unroll<C>([&](int c) {
        const auto at = [&](int side) { return Load<Wide>(InLine(line, x + c + side * (filter.Half() + 1), 0)); };
        value[c] = Clamp01(taps.AddEdges(sum[c], at) / divisor);
    });
    if constexpr (C % kRowsPerLine == 0) {
        Unroll<C / kRowsPerLine>([&](int b) {
            Wide turned[kRowsPerLine];
            Unroll<kRowsPerLine>([&](int m) { turned[m] = value[b * kRowsPerLine + m]; });
            Transpose(turned);
            Unroll<kRowsPerLine>([&](int k) { write(k, x + b * kRowsPerLine, turned[k]); });
        });
    } else {
        Unroll<C>([&](int c) {
            Unroll<kRowsPerLine>([&](int k) {
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

// The rolling sums of a symmetric table of N taps, spread (weights t and
// N - 1 - t equal), over outputs from ... to - 1 of a run: output i takes
// tap t from input(i + t). Each product of a weight and an input serves the
// two outputs whose taps t and N - 1 - t meet it, and each output adds its
// products in tap order, the first without adding it to 0: that gives the
// bits of the plain sum, but for a sum of nothing but negative zeros (-0
// where the plain sum has +0), which the clamp turns into +0 all the same.
// finish(i, sum) takes each finished sum once.
// Unless `resume`, the run starts afresh at `from`, its first steps adding
// into sums of outputs before it, which are dropped (cheaper than steps of
// their own); with `resume`, it resumes a run that ended at `from` (an
// even output), its sums in progress coming from `state` (sum k at
// state + k * stateStride, at most kRollingSums of them). The sums in
// progress go back there at the end.
// All N sums in progress stay in registers: each input is read once, and
// output i finishes at input i + N - 1.
template <typename V, int N, typename Input, typename Finish>
[[gnu::always_inline]] inline void Rolling(int32_t from, int32_t to, bool resume, const float* spread,
                                           const Input& input, const Finish& finish, float* state,
                                           int64_t stateStride) {
    constexpr int H = N / 2;
    V w[H + 1];
    for (int t = 0; t <= H; ++t) w[t] = Load<V>(spread + t * kSpread);
    // At step s, acc[N - 1 - t] is the sum of output s - t, which meets its
    // tap t there; acc[0] finishes, and the sums move down one place.
    V acc[N] = {};
    if (resume) {
        UnrollConstant<N>([&](auto k) __attribute__((always_inline)) { acc[k] = Load<V>(state + k * stateStride); });
    }
    for (int32_t s = resume ? from + N - 1 : from; s < to + N - 1; ++s) {
        const V in = input(s);
        UnrollConstant<H + 1>([&](auto tap) __attribute__((always_inline)) {
            constexpr int t = decltype(tap)::value;
            const V p = w[t] * in;
            if constexpr (t == 0) {
                acc[N - 1] = p;
            } else {
                acc[N - 1 - t] = acc[N - 1 - t] + p;
            }
            if constexpr (t != H) acc[t] = acc[t] + p;
        });
        if (s >= from + N - 1) finish(s - (N - 1), acc[0]);
        UnrollConstant<N - 1>([&](auto k) __attribute__((always_inline)) { acc[k] = acc[k + 1]; });
    }
    if (state) {
        UnrollConstant<N>([&](auto k) __attribute__((always_inline)) { Store(state + k * stateStride, acc[k]); });
    }
}

// The longest table whose N sums in progress stay in the vector registers;
// sets with too few registers for the shortest table never roll.
constexpr int32_t kMostRollingTaps = kSchedule.mostRollingTaps;
constexpr bool kRolls = kMostRollingTaps >= kFewestRollingTaps;

// Sums in progress a run leaves in its state, at most.
constexpr int32_t kRollingSums = kRolls ? kMostRollingTaps : 0;

// Whether a table can use the rolling sums.
bool Rolls(const LineFilter& filter) {
    const int32_t n = filter.taps;
    return filter.kind == LineFilter::Kind::kTable && filter.symmetric && n >= kFewestRollingTaps &&
           n <= kMostRollingTaps && n % 2 == 1;
}

// Calls f.operator()<N>() for the filter's tap count N, one of the rolling ones.
template <typename F>
inline void WithRollingTaps(int32_t taps, const F& f) {
    if constexpr (kRolls) {
        UnrollConstant<(kMostRollingTaps - kFewestRollingTaps) / 2 + 1>([&](auto k) {
            constexpr int N = kFewestRollingTaps + 2 * decltype(k)::value;
            if (taps == N) f.template operator()<N>();
        });
    }
}

// The vertical pass by rolling sums, one column of vectors at a time from
// the band's lowest row upwards; sum k in progress of pixel x lies at
// state + (k * width + x) * 4, whatever vectors the pixel was summed in.
template <int N>
[[gnu::noinline, gnu::flatten]] void ColumnsRolling(const PixelF* const* band, int32_t count, int32_t from, int32_t to,
                                                    const LineFilter& filter, PixelF* firstLine, int64_t lineStride,
                                                    float* state, int32_t width, bool resume) {
    const auto column = [&]<typename V>(int32_t x) {
        const V divisor = Splat<V>(filter.divisor);
        Rolling<V, N>(
            0, count, resume, filter.spread,
            [&](int32_t s) {
                // The next columns of this row, into the cache for the
                // columns to come.
                __builtin_prefetch(band[s] + x + kSchedule.prefetchVectors * kPixelsPer<Wide>, 0, 2);
                return Load<V>(band[s] + x);
            },
            [&](int32_t i, V sum) {
                const V value = Clamp01(sum / divisor);
                const auto j = static_cast<uint32_t>(count - 1 - i);  // never negative: shifts, not divisions
                StoreAcross(InLine(firstLine + (j / kRowsPerLine) * lineStride, x, j % kRowsPerLine), value);
            },
            state + static_cast<int64_t>(x) * 4, static_cast<int64_t>(width) * 4);
    };
    // Single pixels up to the first whole vector of memory, so that the wide
    // loads never straddle two cache lines (in every row, when rows start
    // equally aligned).
    int32_t x = from;
    for (; x < to && PixelsPastAVector(band[0] + x) != 0; ++x) column.template operator()<Narrow>(x);
    for (; x + kPixelsPer<Wide> <= to; x += kPixelsPer<Wide>) column.template operator()<Wide>(x);
    for (; x < to; ++x) column.template operator()<Narrow>(x);
}

template <typename Taps>
void ColumnsWith(const PixelF* const* band, int32_t count, int32_t from, int32_t to, const LineFilter& filter,
                 PixelF* firstLine, int64_t lineStride) {
    const Taps taps{filter};
    // Up the whole band in one column of vectors before the next: the rows
    // of that column stay in the first-level cache for every group of
    // outputs that reads them.
    const auto group = [&]<typename V, int C>(int32_t x) {
        // The same rows further along, into the cache for the columns to
        // come: every row the first group reads, then the rows each next
        // group reads first.
        const int32_t ahead = x + kSchedule.prefetchVectors * kPixelsPer<Wide>;
        const int32_t reads = taps.Count() + kBandRows + 1;
        for (int32_t s = 0; s < reads; ++s) __builtin_prefetch(band[count - kBandRows + s - 1] + ahead, 0, 2);
        for (int32_t j0 = 0; j0 < count; j0 += kBandRows) {
            const PixelF* const* rows = band + (count - kBandRows - j0);
            for (int32_t k = 1; k <= kBandRows; ++k) __builtin_prefetch(rows[-k] + ahead, 0, 2);
            PixelF* lines[kBandRows / kRowsPerLine];
            for (int32_t i = 0; i < kBandRows / kRowsPerLine; ++i)
                lines[i] = firstLine + (j0 / kRowsPerLine + i) * lineStride;
            ColumnGroup<V, C>(rows, x, taps, filter, lines);
        }
    };
    // Single pixels up to a cache line, so that the loads of a group's row
    // share one line (in every row, when rows start equally aligned).
    int32_t x = from;
    if constexpr (kSchedule.alignColumns != 0) {
        for (; x < to && PixelsPastALine(band[0] + x) != 0; ++x) group.template operator()<Narrow, 1>(x);
    }
    Across<kColumnVectors>(x, to, group);
}

// Flattened: every helper and lambda inlined, so that the sums stay in registers.
[[gnu::flatten]] void Columns(const ColumnPass& p) {
    const LineFilter& filter = p.filter;
    if (Rolls(filter)) {
        WithRollingTaps(filter.taps, [&]<int N>() {
            ColumnsRolling<N>(p.band, p.count, p.from, p.to, filter, p.firstLine, p.lineStride, p.state, p.width,
                              p.resume);
        });
    } else if (filter.kind == LineFilter::Kind::kTable) {
        ColumnsWith<TableTaps>(p.band, p.count, p.from, p.to, filter, p.firstLine, p.lineStride);
    } else {
        ColumnsWith<BoxTaps>(p.band, p.count, p.from, p.to, filter, p.firstLine, p.lineStride);
    }
}

// The horizontal pass by rolling sums along the line, a stretch of pixels at
// a time into a buffer that is then turned into rows (kRowsPerLine pixels together)
// and written. Input s is pixel s - N / 2, output i pixel i.
template <int N, typename Write>
[[gnu::noinline, gnu::flatten]] void RowRolling(const PixelF* line, int32_t from, int32_t to, const LineFilter& filter,
                                                const Write& write, float* state, const PixelF* firstRow) {
    constexpr int32_t kStretch = kSchedule.stretchPixels;
    const Wide divisor = Splat<Wide>(filter.divisor);
    Wide done[kStretch];
    for (int32_t x0 = from; x0 < to; x0 += kStretch) {
        const int32_t count = std::min(kStretch, to - x0);
        Rolling<Wide, N>(
            x0, x0 + count, x0 > 0, filter.spread, [&](int32_t s) { return Load<Wide>(InLine(line, s - N / 2, 0)); },
            [&](int32_t i, Wide sum) { done[i - x0] = Clamp01(sum / divisor); }, state,
            static_cast<int64_t>(sizeof(Wide) / sizeof(float)));
        // One by one up to the first whole vector of memory of the first
        // row (so that the writes never straddle two cache lines), then
        // kRowsPerLine pixels at a time, then the rest one by one again.
        const auto single = [&](int32_t c) {
            Unroll<kRowsPerLine>([&](int k) {
                Narrow one;
                __builtin_memcpy(&one, reinterpret_cast<const char*>(&done[c]) + k * sizeof one, sizeof one);
                write(k, x0 + c, one);
            });
        };
        int32_t c = 0;
        for (; c < count && PixelsPastAVector(firstRow + x0 + c) != 0; ++c) single(c);
        for (; c + kRowsPerLine <= count; c += kRowsPerLine) {
            Wide turned[kRowsPerLine];
            Unroll<kRowsPerLine>([&](int m) { turned[m] = done[c + m]; });
            Transpose(turned);
            Unroll<kRowsPerLine>([&](int k) { write(k, x0 + c, turned[k]); });
        }
        for (; c < count; ++c) single(c);
    }
}

// Horizontal sums over pixels from ... to - 1, handed to write as RowGroup does;
// firstRow is where the first row's results go.
template <typename Write>
void RowSums(const PixelF* line, int32_t from, int32_t to, const LineFilter& filter, const Write& write, float* state,
             const PixelF* firstRow) {
    if (Rolls(filter)) {
        WithRollingTaps(filter.taps, [&]<int N>() { RowRolling<N>(line, from, to, filter, write, state, firstRow); });
        return;
    }
    const auto groups = [&](const auto& taps) {
        int32_t x = from;
        for (; x + kRowVectors <= to; x += kRowVectors) RowGroup<kRowVectors>(line, x, taps, filter, write);
        for (; x < to; ++x) RowGroup<1>(line, x, taps, filter, write);
    };
    if (filter.kind == LineFilter::Kind::kTable) {
        groups(TableTaps{filter});
    } else {
        groups(BoxTaps{filter});
    }
}

// The record's rows as locals: read through the caller's memory, each
// store could have changed them.
struct RowsOfPass {
    PixelF* out[kRowsPerLine] = {};
    const PixelF* sharp[kRowsPerLine] = {};

    explicit RowsOfPass(const RowPass& p) {
        for (int32_t k = 0; k < p.count; ++k) {
            out[k] = p.out[k];
            if (p.sharp) sharp[k] = p.sharp[k];
        }
    }
};

template <bool kStream>
[[gnu::flatten]] void RowBlurred(const RowPass& p) {
    const int32_t count = p.count;
    const RowsOfPass rows(p);
    RowSums(
        p.line, p.from, p.to, p.filter,
        [&](int k, int32_t px, auto value) {
            if (k < count) StoreResult<kStream>(rows.out[k] + px, value);
        },
        p.state, rows.out[0]);
}

[[gnu::flatten]] void RowSharpened(const RowPass& p) {
    const int32_t count = p.count;
    const float amount = p.amount;
    const RowsOfPass rows(p);
    RowSums(
        p.line, p.from, p.to, p.filter,
        [&](int k, int32_t px, auto blurred) {
            using V = decltype(blurred);
            if (k >= count) return;
            const V s = Load<V>(rows.sharp[k] + px);
            StoreResult<true>(rows.out[k] + px, Clamp01((s - blurred) * Splat<V>(amount) + s));
        },
        p.state, rows.out[0]);
}

// The unsharp mask's results are always the iteration's last: they stream.
void Row(const RowPass& p) {
    if (p.sharp) {
        RowSharpened(p);
    } else if (p.stream) {
        RowBlurred<true>(p);
    } else {
        RowBlurred<false>(p);
    }
}

}  // namespace

const BlurKernelSet kKernels{MACULO_SET_NAME(MACULO_KERNEL_ROW),
                             BOOST_PP_STRINGIZE(MACULO_KERNEL_NAMESPACE), kRowsPerLine, &Columns, &Row, kRollingSums,
                                                kRollingSums* static_cast<int32_t>(sizeof(Wide) / sizeof(float)),
                                                kSchedule};

}  // namespace maculo::MACULO_KERNEL_NAMESPACE

MACULO_TARGET_END
#undef MACULO_KERNEL_ROW
#undef MACULO_KERNEL_NAMESPACE
#undef MACULO_VECTOR_BYTES
