// Conversions between the host's pixel depths and the float working image.
// Each walks the output's rows and columns; the input side is addressed with
// its own pitch, the working image and the output with the output's.
#pragma once

#include <cstdint>

#include "engine/PatternTypes.h"

namespace maculo {

// Host pixels, channels in memory order alpha, red, green, blue.
struct Pixel8 {
    uint8_t alpha, red, green, blue;
};
struct Pixel16 {
    uint16_t alpha, red, green, blue;
};
// Video hosts' 8-bit pixels, channels in memory order red, green, blue, alpha.
struct PixelRgba8 {
    uint8_t red, green, blue, alpha;
};

// Full-scale channel values of the integer depths.
inline constexpr float kMaxChannel8 = 255.0f;
inline constexpr float kMaxChannel16 = 32768.0f;

// Host pixels (inDims.pitch apart per row) into the working image
// (outDims.pitch apart per row); outDims.width x outDims.height pixels. A
// NaN float channel is read as 0; every other float value as it is.
void ConvertToWorking(const Pixel8* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims);
void ConvertToWorking(const PixelRgba8* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims);
void ConvertToWorking(const Pixel16* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims);
void ConvertToWorking(const PixelF* in, PixelF* work, const ImageDims& inDims, const ImageDims& outDims);

// The working image into the output, both outDims.pitch apart per row.
// Integer depths truncate toward zero and saturate: NaN and negative values
// give 0, values at or above full scale give full scale.
void ConvertFromWorking(const PixelF* work, Pixel8* out, const ImageDims& outDims);
void ConvertFromWorking(const PixelF* work, PixelRgba8* out, const ImageDims& outDims);
void ConvertFromWorking(const PixelF* work, Pixel16* out, const ImageDims& outDims);
void ConvertFromWorking(const PixelF* work, PixelF* out, const ImageDims& outDims);

}  // namespace maculo
