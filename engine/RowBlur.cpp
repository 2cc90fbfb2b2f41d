// The row filters and the Gaussian weight table. Every output pixel is summed
// afresh over its window in the stated order; pixels whose window stays inside
// the row read their taps straight, the few near the ends go through the
// mirror. Outputs are filtered a group at a time so that the group's
// independent sums keep the vector units busy.
#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/FilterShapes.h"
#include "engine/Float4.h"
#include "engine/PatternOps.h"

namespace maculo {
namespace {

// Six sums and the pixels they share fit the 16 SSE registers without spills.
constexpr int kGroup = 6;

// Runs f(0) ... f(N - 1) spelled out, so that a group's sums live in registers.
template <int N, typename F>
inline void EachPixel(const F& f) {
    [&]<int... J>(std::integer_sequence<int, J...>) { (f(J), ...); }(std::make_integer_sequence<int, N>{});
}

// Taps of a box window: the k whole pixels from -h to h in order, then the
// pixel before and the pixel after at weight f (read even when f is 0, so a
// NaN or infinity there counts as it does on the device).
class BoxTaps {
public:
    explicit BoxTaps(float a) : window_(ShapeBoxWindow(a)) {
        divisor_ = Splat((window_.f + window_.f) + static_cast<float>(window_.k));
        weight_ = Splat(window_.f);
    }

    int32_t Reach() const { return window_.h + 1; }

    // at(j, d) is the pixel d positions from output j of the group.
    template <int N, typename At>
    void Filter(const At& at, Float4 (&out)[N]) const {
        const int32_t h = window_.h;
        Float4 s[N] = {};
        for (int32_t i = -h; i <= h; ++i) {
            EachPixel<N>([&](int j) { s[j] = s[j] + at(j, i); });
        }
        EachPixel<N>([&](int j) { s[j] = s[j] + weight_ * at(j, -h - 1); });
        EachPixel<N>([&](int j) { s[j] = s[j] + weight_ * at(j, h + 1); });
        EachPixel<N>([&](int j) { out[j] = Saturate(s[j] / divisor_); });
    }

private:
    BoxWindow window_;
    Float4 divisor_;
    Float4 weight_;
};

// Taps of a weight table, centred on entry length / 2. The sum of the weights
// does not depend on the pixel and is formed once, in table order.
class GaussianTaps {
public:
    GaussianTaps(const float* table, int32_t length) : table_(table), length_(length) {
        float sum = 0.0f;
        for (int32_t i = 0; i < length; ++i) sum += table[i];
        weightSum_ = Splat(sum);
    }

    int32_t Reach() const { return length_ / 2; }

    template <int N, typename At>
    void Filter(const At& at, Float4 (&out)[N]) const {
        const int32_t half = length_ / 2;
        Float4 s[N] = {};
        for (int32_t i = 0; i < length_; ++i) {
            const Float4 w = Splat(table_[i]);
            EachPixel<N>([&](int j) { s[j] = s[j] + w * at(j, i - half); });
        }
        EachPixel<N>([&](int j) { out[j] = Saturate(s[j] / weightSum_); });
    }

private:
    const float* table_;
    int32_t length_;
    Float4 weightSum_;
};

template <typename Taps>
void FilterRows(const PixelF* src, PixelF* dst, const ImageDims& rows, const Taps& taps) {
    const int32_t length = rows.width;
    if (length <= 0 || rows.height <= 0) return;
    const int32_t last = length - 1;
    // Outputs in [inner, outer) reach no further than the row's ends.
    const int32_t inner = std::min(taps.Reach(), length);
    const int32_t outer = std::max(inner, length - taps.Reach());

#pragma omp parallel for schedule(static)
    for (int32_t r = 0; r < rows.height; ++r) {
        const PixelF* in = src + static_cast<int64_t>(r) * rows.pitch;
        PixelF* out = dst + static_cast<int64_t>(r) * rows.pitch;

        const auto straight = [in](int32_t p) { return LoadPixel(in + p); };
        const auto mirrored = [in, last](int32_t p) { return LoadPixel(in + MirrorIndex(p, last)); };

        // Filters the outputs [from, to), a group at a time, then one by one.
        const auto span = [&](int32_t from, int32_t to, const auto& pixelAt) {
            const auto group = [&]<int N>(int32_t x) {
                Float4 value[N];
                taps.Filter([&](int j, int32_t d) { return pixelAt(x + j + d); }, value);
                EachPixel<N>([&](int j) { StorePixel(out + x + j, value[j]); });
            };
            int32_t x = from;
            for (; x + kGroup <= to; x += kGroup) group.template operator()<kGroup>(x);
            for (; x < to; ++x) group.template operator()<1>(x);
        };
        span(0, inner, mirrored);
        span(inner, outer, straight);
        span(outer, length, mirrored);
    }
}

}  // namespace

void BuildWeightTable(float* table, int32_t length, float coef1, float coef2) {
    const GaussianTableShape shape{length, coef1, coef2};
#pragma omp parallel for schedule(static)
    for (int32_t i = 0; i < length; ++i) table[i] = GaussianWeight(i, shape);
}

void BoxRowBlur(const PixelF* src, PixelF* dst, const ImageDims& rows, float a) {
    FilterRows(src, dst, rows, BoxTaps(a));
}

void GaussianRowBlur(const PixelF* src, PixelF* dst, const ImageDims& rows,
                     const float* table, int32_t length) {
    FilterRows(src, dst, rows, GaussianTaps(table, length));
}

}  // namespace maculo
