#include "tests/windows/NoiseFrame.h"

#include <cstring>

namespace maculo::check {
namespace {

uint8_t NoiseValue(uint32_t x, uint32_t y, uint32_t channel) {
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ channel * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return static_cast<uint8_t>(h >> 24);
}

void StoreChannel(unsigned char* at, const Depth& depth, uint8_t value) {
    if (depth.bits == 8) {
        *at = value;
    } else if (depth.bits == 16) {
        const uint16_t wide = static_cast<uint16_t>(value * 32768u / 255u);
        std::memcpy(at, &wide, sizeof wide);
    } else {
        const float real = static_cast<float>(value) / 255.0f;
        std::memcpy(at, &real, sizeof real);
    }
}

}  // namespace

void FillNoise(PF_EffectWorld& world, const Depth& depth) {
    const int channelBytes = depth.bytesPerPixel / 4;
    auto* base = reinterpret_cast<unsigned char*>(world.data);
    for (A_long y = 0; y < world.height; ++y) {
        unsigned char* pixel = base + static_cast<size_t>(y) * world.rowbytes;
        for (A_long x = 0; x < world.width; ++x, pixel += depth.bytesPerPixel) {
            StoreChannel(pixel, depth, 255);  // alpha
            for (int c = 1; c < 4; ++c) {
                StoreChannel(pixel + c * channelBytes, depth,
                             NoiseValue(static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(c)));
            }
        }
    }
}

uint64_t Checksum(const PF_EffectWorld& world, const Depth& depth) {
    uint64_t hash = 0xCBF29CE484222325u;
    const auto* base = reinterpret_cast<const unsigned char*>(world.data);
    const size_t rowBytes = static_cast<size_t>(world.width) * depth.bytesPerPixel;
    for (A_long y = 0; y < world.height; ++y) {
        const unsigned char* row = base + static_cast<size_t>(y) * world.rowbytes;
        for (size_t i = 0; i < rowBytes; ++i) {
            hash = (hash ^ row[i]) * 0x100000001B3u;
        }
    }
    return hash;
}

}  // namespace maculo::check
