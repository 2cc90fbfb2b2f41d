#include "engine/DepthConversion.h"

#include <cstddef>

namespace maculo {
namespace {

// Applies convert to every picture pixel, one OpenMP static block of rows per
// thread. Offsets are formed in ptrdiff_t so large frames cannot overflow.
template <typename In, typename Out, typename Convert>
void ConvertRows(const In* in, std::ptrdiff_t inPitch, Out* out, std::ptrdiff_t outPitch,
                 const ImageDims& dims, Convert convert) {
    const int32_t rows = dims.height;
    const int32_t cols = dims.width;
#pragma omp parallel for schedule(static)
    for (int32_t y = 0; y < rows; ++y) {
        const In* src = in + y * inPitch;
        Out* dst = out + y * outPitch;
        for (int32_t x = 0; x < cols; ++x) dst[x] = convert(src[x]);
    }
}

// v x full, truncated toward zero, kept inside 0 ... full. The comparisons
// send NaN to 0 and keep the float-to-int conversion defined for any input.
template <typename Channel>
Channel Quantize(float v, float full) {
    float s = v * full;
    s = s > 0.0f ? s : 0.0f;
    s = s < full ? s : full;
    return static_cast<Channel>(static_cast<int32_t>(s));
}

}  // namespace

void ConvertToWorking(const Pixel8* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims) {
    ConvertRows(in, inDims.pitch, work, outDims.pitch, outDims, [](Pixel8 p) {
        return PixelF{p.alpha / kMaxChannel8, p.red / kMaxChannel8, p.green / kMaxChannel8,
                      p.blue / kMaxChannel8};
    });
}

void ConvertToWorking(const Pixel16* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims) {
    // 2^-15 is exact, so the product equals c / 32768 without a division.
    constexpr float kScale = 0x1p-15f;
    ConvertRows(in, inDims.pitch, work, outDims.pitch, outDims, [](Pixel16 p) {
        return PixelF{p.alpha * kScale, p.red * kScale, p.green * kScale, p.blue * kScale};
    });
}

void ConvertToWorking(const PixelF* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims) {
    ConvertRows(in, inDims.pitch, work, outDims.pitch, outDims, [](PixelF p) { return p; });
}

void ConvertFromWorking(const PixelF* work, Pixel8* out, const ImageDims& outDims) {
    ConvertRows(work, outDims.pitch, out, outDims.pitch, outDims, [](PixelF p) {
        return Pixel8{Quantize<uint8_t>(p.alpha, kMaxChannel8), Quantize<uint8_t>(p.red, kMaxChannel8),
                      Quantize<uint8_t>(p.green, kMaxChannel8), Quantize<uint8_t>(p.blue, kMaxChannel8)};
    });
}

void ConvertFromWorking(const PixelF* work, Pixel16* out, const ImageDims& outDims) {
    ConvertRows(work, outDims.pitch, out, outDims.pitch, outDims, [](PixelF p) {
        return Pixel16{Quantize<uint16_t>(p.alpha, kMaxChannel16), Quantize<uint16_t>(p.red, kMaxChannel16),
                       Quantize<uint16_t>(p.green, kMaxChannel16), Quantize<uint16_t>(p.blue, kMaxChannel16)};
    });
}

void ConvertFromWorking(const PixelF* work, PixelF* out, const ImageDims& outDims) {
    ConvertRows(work, outDims.pitch, out, outDims.pitch, outDims, [](PixelF p) { return p; });
}

}  // namespace maculo
