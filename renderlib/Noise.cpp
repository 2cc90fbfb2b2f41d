#include "renderlib/Noise.h"

namespace maculo {
namespace {

// A 64-bit finaliser whose every output bit depends on every input bit.
uint64_t Mixed(uint64_t z) {
    z += 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

}  // namespace

void FillNoise(uint8_t* pixels, int32_t pixelBytes, int32_t width, int32_t height, int32_t seed) {
    const uint64_t key = Mixed(uint64_t(uint32_t(seed)));
    const uint64_t count = uint64_t(width) * uint64_t(height);
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t h = Mixed(key + i);
        uint8_t* const rgb = pixels + i * uint64_t(pixelBytes);
        rgb[0] = uint8_t(h);
        rgb[1] = uint8_t(h >> 8);
        rgb[2] = uint8_t(h >> 16);
    }
}

FrameImage NoiseFrame(int32_t width, int32_t height, int32_t seed) {
    FrameImage frame = MakeFrame(8, width, height, false);
    uint8_t* const argb = frame.Bytes();
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) argb[4 * i] = 255;
    FillNoise(argb + 1, 4, width, height, seed);
    return frame;
}

}  // namespace maculo
