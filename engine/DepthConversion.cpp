#include "engine/DepthConversion.h"

#include <emmintrin.h>

#include <cstddef>
#include <cstring>

namespace maculo {
namespace {

// Applies convert(src row, dst row, width) to every picture row, one OpenMP
// static block of rows per thread. Offsets are formed in ptrdiff_t so large
// frames cannot overflow.
template <typename In, typename Out, typename Convert>
void ConvertRows(const In* in, std::ptrdiff_t inPitch, Out* out, std::ptrdiff_t outPitch, const ImageDims& dims,
                 Convert convert) {
    const int32_t rows = dims.height;
    const int32_t cols = dims.width;
    if (cols <= 0) return;
#pragma omp parallel for schedule(static)
    for (int32_t y = 0; y < rows; ++y) convert(in + y * inPitch, out + y * outPitch, cols);
}

template <typename In, typename Out, typename Convert>
void ConvertEach(const In* in, std::ptrdiff_t inPitch, Out* out, std::ptrdiff_t outPitch, const ImageDims& dims,
                 Convert convert) {
    ConvertRows(in, inPitch, out, outPitch, dims, [convert](const In* src, Out* dst, int32_t count) {
        for (int32_t x = 0; x < count; ++x) dst[x] = convert(src[x]);
    });
}

void CopyRow(const PixelF* src, PixelF* dst, int32_t count) {
    std::memcpy(dst, src, static_cast<size_t>(count) * sizeof(PixelF));
}

// A copy in which NaN channels become +0. A NaN left in the picture would
// turn every sum its filter window reaches into NaN, which the clamp makes 0:
// one bad pixel would blacken a square the filter's size. Infinities pass.
void CopyRowWithoutNaN(const PixelF* src, PixelF* dst, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        const __m128 p = _mm_loadu_ps(&src[x].alpha);
        _mm_storeu_ps(&dst[x].alpha, _mm_and_ps(p, _mm_cmpord_ps(p, p)));
    }
}

// The channels of one pixel times full, truncated toward zero, kept inside
// 0 ... full. maxps and minps return their second operand when the first is
// NaN, so NaN gives 0 and the conversion to integers is defined for any input.
inline __m128i Quantize(const PixelF* p, __m128 full) {
    const __m128 s = _mm_mul_ps(_mm_loadu_ps(&p->alpha), full);
    return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(s, _mm_setzero_ps()), full));
}

// Four pixels at a time, packed with the instructions of baseline x86-64:
// store(dst, four quantized pixels) narrows and writes them; the last pixels
// go one by one through a four-pixel copy of themselves.
template <typename Pixel, typename Store>
void QuantizeRow(const PixelF* src, Pixel* dst, int32_t count, float full, const Store& store) {
    const __m128 top = _mm_set1_ps(full);
    const auto four = [&](const PixelF* from, Pixel* to) {
        store(to, Quantize(from, top), Quantize(from + 1, top), Quantize(from + 2, top), Quantize(from + 3, top));
    };
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) four(src + x, dst + x);
    for (; x < count; ++x) {
        PixelF one[4] = {src[x], src[x], src[x], src[x]};
        Pixel narrow[4];
        four(one, narrow);
        dst[x] = narrow[0];
    }
}

// Either order of 8-bit channels: they are read by name.
template <typename Pixel>
void ConvertToWorking8(const Pixel* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims) {
    ConvertEach(in, inDims.pitch, work, outDims.pitch, outDims, [](Pixel p) {
        return PixelF{p.alpha / kMaxChannel8, p.red / kMaxChannel8, p.green / kMaxChannel8, p.blue / kMaxChannel8};
    });
}

// Either order of 8-bit channels: the packs give four pixels' bytes in the
// working order (alpha first), and order(bytes) puts them in the output's.
template <typename Pixel, typename Order>
void ConvertFromWorking8(const PixelF* work, Pixel* out, const ImageDims& outDims, Order order) {
    ConvertRows(work, outDims.pitch, out, outDims.pitch, outDims, [order](const PixelF* src, Pixel* dst, int32_t count) {
        // Values are 0 ... 255, so the saturating packs keep them unchanged.
        QuantizeRow(src, dst, count, kMaxChannel8, [order](Pixel* to, __m128i a, __m128i b, __m128i c, __m128i d) {
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), order(bytes));
        });
    });
}

}  // namespace

void ConvertToWorking(const Pixel8* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims) {
    ConvertToWorking8(in, work, inDims, outDims);
}

void ConvertToWorking(const PixelRgba8* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims) {
    ConvertToWorking8(in, work, inDims, outDims);
}

void ConvertToWorking(const Pixel16* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims) {
    // 2^-15 is exact, so the product equals c / 32768 without a division.
    constexpr float kScale = 0x1p-15f;
    ConvertEach(in, inDims.pitch, work, outDims.pitch, outDims, [](Pixel16 p) {
        return PixelF{p.alpha * kScale, p.red * kScale, p.green * kScale, p.blue * kScale};
    });
}

void ConvertToWorking(const PixelF* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims) {
    ConvertRows(in, inDims.pitch, work, outDims.pitch, outDims, CopyRowWithoutNaN);
}

void ConvertFromWorking(const PixelF* work, Pixel8* out, const ImageDims& outDims) {
    ConvertFromWorking8(work, out, outDims, [](__m128i argb) { return argb; });
}

void ConvertFromWorking(const PixelF* work, PixelRgba8* out, const ImageDims& outDims) {
    // Each pixel's four bytes, read as a little-endian word, rotated right by
    // one byte: alpha moves from the first byte to the last.
    ConvertFromWorking8(work, out, outDims,
                        [](__m128i argb) { return _mm_or_si128(_mm_srli_epi32(argb, 8), _mm_slli_epi32(argb, 24)); });
}

void ConvertFromWorking(const PixelF* work, Pixel16* out, const ImageDims& outDims) {
    ConvertRows(work, outDims.pitch, out, outDims.pitch, outDims, [](const PixelF* src, Pixel16* dst, int32_t count) {
        // Values are 0 ... 32768, one more than a signed 16-bit pack keeps:
        // shifted down by 32768 they fit, and flipping the top bit shifts
        // them back.
        const __m128i half = _mm_set1_epi32(32768);
        const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
        const auto narrow = [&](__m128i a, __m128i b) {
            return _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(a, half), _mm_sub_epi32(b, half)), flip);
        };
        QuantizeRow(src, dst, count, kMaxChannel16, [&](Pixel16* to, __m128i a, __m128i b, __m128i c, __m128i d) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), narrow(a, b));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 2), narrow(c, d));
        });
    });
}

void ConvertFromWorking(const PixelF* work, PixelF* out, const ImageDims& outDims) {
    ConvertRows(work, outDims.pitch, out, outDims.pitch, outDims, CopyRow);
}

}  // namespace maculo
