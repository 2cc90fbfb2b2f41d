// A frame in the host's own layout, as the renderer hands it to the plug-in:
// rows of pixels whose four channels are alpha, red, green, blue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace maculo {

struct FrameImage {
    int32_t depth = 8;  // bits per channel: 8 and 16 are integers, 32 is float
    int32_t width = 0;
    int32_t height = 0;
    bool hasAlpha = true;  // whether the picture's alpha is worth writing out
    // Float storage keeps every depth's channels suitably aligned.
    std::vector<float> storage;

    int32_t BytesPerPixel() const { return depth / 2; }  // 4, 8 or 16
    int32_t RowBytes() const { return width * BytesPerPixel(); }
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(storage.data()); }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(storage.data()); }
};

// A frame of the given geometry with its pixels zeroed.
FrameImage MakeFrame(int32_t depth, int32_t width, int32_t height, bool hasAlpha);

// The host's 16-bit full scale is 32768 where files use 65535; both
// directions round to nearest, so a host value survives the trip through a
// file exactly.
inline uint16_t FileToHost16(uint16_t v) { return uint16_t((uint32_t(v) * 32768u + 32767u) / 65535u); }
inline uint16_t HostToFile16(uint16_t v) {
    const uint32_t h = v < 32768u ? v : 32768u;
    return uint16_t((h * 65535u + 16384u) / 32768u);
}

}  // namespace maculo
