#include "engine/DepthConversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace maculo {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Every channel value 0 ... count - 1 in one row, converted in and straight out.
template <typename Pixel, typename Channel>
void ExpectEveryValueSurvives(int count, float full) {
    const int32_t pixels = (count + 3) / 4;
    const ImageDims dims{pixels, 1, pixels};
    std::vector<Pixel> in(pixels), out(pixels);
    std::vector<Channel> channels(size_t(pixels) * 4);
    for (size_t c = 0; c < channels.size(); ++c) channels[c] = Channel(int(c) < count ? c : 0);
    std::memcpy(in.data(), channels.data(), channels.size() * sizeof(Channel));
    std::vector<PixelF> work(pixels);
    ConvertToWorking(in.data(), work.data(), dims, dims);
    ConvertFromWorking(work.data(), out.data(), dims);
    EXPECT_EQ(work[1].alpha, 4 / full);  // the exact quotient
    EXPECT_EQ(std::memcmp(in.data(), out.data(), in.size() * sizeof(Pixel)), 0);
}

TEST(DepthConversion, EveryIntegerValueSurvivesTheRoundTrip) {
    ExpectEveryValueSurvives<Pixel8, uint8_t>(256, 255.0f);
    ExpectEveryValueSurvives<Pixel16, uint16_t>(32769, 32768.0f);
}

TEST(DepthConversion, IntegerDepthsTruncateAndSaturate) {
    // The exact points, then values no pipeline should hand back: NaN,
    // negatives and -inf give 0; +inf, huge values and anything above full
    // scale give full scale instead of wrapping around.
    const std::vector<PixelF> work = {{1.0f, 0.5f, 0.999f, 0.0f},
                                      {kNaN, -0.25f, -kInf, kInf},
                                      {1e30f, 256.0f / 255.0f, 1.000002f, -1e30f}};
    const ImageDims dims{3, 1, 3};
    std::vector<Pixel8> out8(3);
    std::vector<Pixel16> out16(3);
    ConvertFromWorking(work.data(), out8.data(), dims);
    ConvertFromWorking(work.data(), out16.data(), dims);
    const uint8_t want8[12] = {255, 127, 254, 0, 0, 0, 0, 255, 255, 255, 255, 0};
    const uint16_t want16[12] = {32768, 16384, 32735, 0, 0, 0, 0, 32768, 32768, 32768, 32768, 0};
    EXPECT_EQ(std::memcmp(out8.data(), want8, sizeof want8), 0);
    EXPECT_EQ(std::memcmp(out16.data(), want16, sizeof want16), 0);
}

TEST(DepthConversion, RowsFollowTheirPitchesAndOnlyThePictureIsWritten) {
    // 3 x 2 pictures: input rows 5 pixels apart, working and output rows 4
    // apart, and a spare row below; floats pass unchanged, out-of-range ones too.
    const ImageDims in{3, 2, 5};
    const ImageDims out{3, 2, 4};
    std::vector<PixelF> source(15, PixelF{-9, -9, -9, -9});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) source[y * 5 + x] = {float(x) - 1.5f, 0.5f, kNaN, float(y) * 1e20f};
    std::vector<PixelF> work(12, PixelF{7, 7, 7, 7});
    ConvertToWorking(source.data(), work.data(), in, out);

    std::vector<Pixel8> out8(12, Pixel8{0xAB, 0xAB, 0xAB, 0xAB});
    std::vector<Pixel16> out16(12, Pixel16{0xABAB, 0xABAB, 0xABAB, 0xABAB});
    std::vector<PixelF> outF(12, PixelF{7, 7, 7, 7});
    ConvertFromWorking(work.data(), out8.data(), out);
    ConvertFromWorking(work.data(), out16.data(), out);
    ConvertFromWorking(work.data(), outF.data(), out);
    for (int i = 0; i < 12; ++i) {
        const bool picture = i / 4 < 2 && i % 4 < 3;
        EXPECT_EQ(out8[i].red, picture ? 127 : 0xAB) << i;
        EXPECT_EQ(out16[i].red, picture ? 16384 : 0xABAB) << i;
        if (picture) {
            const PixelF& want = source[(i / 4) * 5 + i % 4];
            EXPECT_EQ(std::memcmp(&work[i], &want, sizeof want), 0) << i;
            EXPECT_EQ(std::memcmp(&outF[i], &want, sizeof want), 0) << i;
        } else {
            EXPECT_EQ(work[i].red, 7.0f) << i;
            EXPECT_EQ(outF[i].red, 7.0f) << i;
        }
    }
}

}  // namespace
}  // namespace maculo
