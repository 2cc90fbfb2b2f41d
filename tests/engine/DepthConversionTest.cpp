#include "engine/DepthConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace maculo {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Picture of 5 x 3 pixels: the input rows 7 pixels apart, the working image
// and the output 6 apart, so every pitch differs from the width.
constexpr ImageDims kIn{5, 3, 7};
constexpr ImageDims kOut{5, 3, 6};

template <typename Pixel>
Pixel Filled(int v) {
    Pixel p;
    std::memset(&p, v, sizeof p);
    return p;
}

// Fills the working image's picture with channel values, the rest with a marker.
std::vector<PixelF> Working(std::initializer_list<float> values) {
    std::vector<PixelF> w(kOut.pitch * kOut.height, PixelF{-7, -7, -7, -7});
    auto it = values.begin();
    for (int y = 0; y < kOut.height; ++y)
        for (int x = 0; x < kOut.width; ++x) {
            float c[4];
            for (float& v : c) {
                v = *it;
                if (++it == values.end()) it = values.begin();
            }
            w[y * kOut.pitch + x] = {c[0], c[1], c[2], c[3]};
        }
    return w;
}

TEST(DepthConversion, EveryEightBitValueSurvivesTheRoundTrip) {
    std::vector<Pixel8> in(kIn.pitch * kIn.height, Filled<Pixel8>(0xEE));
    // 15 pixels x 4 channels cover 60 values per pass; five passes cover 0 ... 255.
    for (int base = 0; base < 256; base += 60) {
        int c = base;
        for (int y = 0; y < kIn.height; ++y)
            for (int x = 0; x < kIn.width; ++x, c += 4)
                in[y * kIn.pitch + x] = {uint8_t(c % 256), uint8_t((c + 1) % 256), uint8_t((c + 2) % 256),
                                         uint8_t((c + 3) % 256)};
        std::vector<PixelF> work(kOut.pitch * kOut.height);
        std::vector<Pixel8> out(kOut.pitch * kOut.height, Filled<Pixel8>(0xAB));
        ConvertToWorking(in.data(), work.data(), kIn, kOut);
        ConvertFromWorking(work.data(), out.data(), kOut);
        for (int y = 0; y < kOut.height; ++y)
            for (int x = 0; x < kOut.width; ++x) {
                const Pixel8 a = in[y * kIn.pitch + x];
                const Pixel8 b = out[y * kOut.pitch + x];
                EXPECT_EQ(work[y * kOut.pitch + x].green, a.green / 255.0f);
                EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "pixel " << x << "," << y;
            }
    }
}

TEST(DepthConversion, EverySixteenBitValueSurvivesTheRoundTrip) {
    // One row of 32769 values covers the host's whole 0 ... 32768 range.
    constexpr int kCount = 32769;
    const ImageDims dims{(kCount + 3) / 4, 1, (kCount + 3) / 4};
    std::vector<Pixel16> in(dims.pitch);
    auto* channels = reinterpret_cast<uint16_t*>(in.data());
    for (int c = 0; c < dims.pitch * 4; ++c) channels[c] = uint16_t(c < kCount ? c : 0);
    std::vector<PixelF> work(dims.pitch);
    std::vector<Pixel16> out(dims.pitch);
    ConvertToWorking(in.data(), work.data(), dims, dims);
    ConvertFromWorking(work.data(), out.data(), dims);
    EXPECT_EQ(work[0].green, 2.0f / 32768.0f);
    EXPECT_EQ(std::memcmp(in.data(), out.data(), in.size() * sizeof(Pixel16)), 0);
}

TEST(DepthConversion, IntegerDepthsTruncateAndSaturate) {
    const auto work = Working({1.0f, 0.5f, 0.999f, 0.0f, kNaN, -0.25f, -kInf, kInf, 1e30f, 256.0f / 255.0f,
                               1.000002f, -1e30f});
    std::vector<Pixel8> out8(work.size());
    std::vector<Pixel16> out16(work.size());
    ConvertFromWorking(work.data(), out8.data(), kOut);
    ConvertFromWorking(work.data(), out16.data(), kOut);
    // Pixel 0: the exact points; 1 and 2: out-of-range values saturate.
    const Pixel8 p8[3] = {out8[0], out8[1], out8[2]};
    const Pixel16 p16[3] = {out16[0], out16[1], out16[2]};
    EXPECT_EQ(p8[0].alpha, 255);
    EXPECT_EQ(p8[0].red, 127);
    EXPECT_EQ(p8[0].green, 254);
    EXPECT_EQ(p8[0].blue, 0);
    EXPECT_EQ(p16[0].alpha, 32768);
    EXPECT_EQ(p16[0].red, 16384);
    EXPECT_EQ(p16[0].green, 32735);
    EXPECT_EQ(p16[0].blue, 0);
    // NaN, negative, -inf give 0; +inf, huge, just above full scale give full scale.
    const uint8_t want8[8] = {0, 0, 0, 255, 255, 255, 255, 0};
    const uint16_t want16[8] = {0, 0, 0, 32768, 32768, 32768, 32768, 0};
    const uint8_t got8[8] = {p8[1].alpha, p8[1].red, p8[1].green, p8[1].blue,
                             p8[2].alpha, p8[2].red, p8[2].green, p8[2].blue};
    const uint16_t got16[8] = {p16[1].alpha, p16[1].red, p16[1].green, p16[1].blue,
                               p16[2].alpha, p16[2].red, p16[2].green, p16[2].blue};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(got8[i], want8[i]) << "channel " << i;
        EXPECT_EQ(got16[i], want16[i]) << "channel " << i;
    }
}

TEST(DepthConversion, FloatFramesAreCopiedUnchangedOutOfRangeValuesIncluded) {
    std::vector<PixelF> in(kIn.pitch * kIn.height, PixelF{-3, -3, -3, -3});
    for (int y = 0; y < kIn.height; ++y)
        for (int x = 0; x < kIn.width; ++x) in[y * kIn.pitch + x] = {float(x) - 2, 1.5f, kNaN, float(y) * 1e20f};
    std::vector<PixelF> work(kOut.pitch * kOut.height);
    std::vector<PixelF> out(kOut.pitch * kOut.height, PixelF{9, 9, 9, 9});
    ConvertToWorking(in.data(), work.data(), kIn, kOut);
    ConvertFromWorking(work.data(), out.data(), kOut);
    for (int y = 0; y < kOut.height; ++y)
        for (int x = 0; x < kOut.width; ++x) {
            const PixelF a = in[y * kIn.pitch + x];
            const PixelF b = out[y * kOut.pitch + x];
            EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "pixel " << x << "," << y;
        }
}

TEST(DepthConversion, WritesOnlyThePictureOfEachRow) {
    // Output rows carry padding and the buffer has a spare row below the picture.
    const ImageDims dims{3, 2, 5};
    const auto work = std::vector<PixelF>(dims.pitch * 3, PixelF{0.5f, 0.5f, 0.5f, 0.5f});
    std::vector<Pixel8> out8(dims.pitch * 3, Filled<Pixel8>(0xAB));
    std::vector<Pixel16> out16(dims.pitch * 3, Filled<Pixel16>(0xAB));
    std::vector<PixelF> outF(dims.pitch * 3, Filled<PixelF>(0xAB));
    ConvertFromWorking(work.data(), out8.data(), dims);
    ConvertFromWorking(work.data(), out16.data(), dims);
    ConvertFromWorking(work.data(), outF.data(), dims);
    for (int i = 0; i < dims.pitch * 3; ++i) {
        const bool picture = i / dims.pitch < dims.height && i % dims.pitch < dims.width;
        EXPECT_EQ(out8[i].red, picture ? 127 : 0xAB) << i;
        EXPECT_EQ(out16[i].red, picture ? 16384 : 0xABAB) << i;
        EXPECT_EQ(outF[i].red == 0.5f, picture) << i;
    }
}

TEST(DepthConversion, EmptyPicturesTouchNothing) {
    Pixel8 pixel{1, 2, 3, 4};
    PixelF work{5, 6, 7, 8};
    for (const ImageDims dims : {ImageDims{0, 4, 4}, ImageDims{4, 0, 4}, ImageDims{-1, -1, 4}}) {
        ConvertToWorking(&pixel, &work, dims, dims);
        ConvertFromWorking(&work, &pixel, dims);
    }
    EXPECT_EQ(work.alpha, 5.0f);
    EXPECT_EQ(pixel.alpha, 1);
}

}  // namespace
}  // namespace maculo
