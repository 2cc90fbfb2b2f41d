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
    std::vector<Channel> channels(size_t(pixels) * 4, 0);
    for (int c = 0; c < count; ++c) channels[c] = Channel(c);
    std::vector<Pixel> in(pixels), out(pixels);
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

TEST(DepthConversion, RowsFollowTheirPitchesAndIntegerDepthsTruncateAndSaturate) {
    // The exact points, then values no pipeline should hand back: NaN,
    // negatives and -inf give 0; +inf, huge values and anything above full
    // scale give full scale instead of wrapping around. Floats pass unchanged,
    // except that a NaN read from the host becomes 0.
    const PixelF values[] = {
        {1.0f, 0.5f, 0.999f, 0.0f}, {kNaN, -0.25f, -kInf, kInf}, {1e30f, 256.0f / 255.0f, 1.000002f, -1e30f}};
    const Pixel8 want8[] = {{255, 127, 254, 0}, {0, 0, 0, 255}, {255, 255, 255, 0}};
    const Pixel16 want16[] = {{32768, 16384, 32735, 0}, {0, 0, 0, 32768}, {32768, 32768, 32768, 0}};
    const PixelF read[] = {values[0], {0.0f, -0.25f, -kInf, kInf}, values[2]};
    const PixelF spareF{7, 7, 7, 7};
    const Pixel8 spare8{0xAB, 0xAB, 0xAB, 0xAB};
    const Pixel16 spare16{0xABAB, 0xABAB, 0xABAB, 0xABAB};

    // 3 x 2 pictures: input rows 5 pixels apart, working and output rows 4
    // apart, and a spare row below.
    const ImageDims in{3, 2, 5}, out{3, 2, 4};
    std::vector<PixelF> source(10, PixelF{-9, -9, -9, -9});
    for (int i = 0; i < 6; ++i) source[i / 3 * 5 + i % 3] = values[i % 3];
    std::vector<PixelF> work(12, spareF), outF(12, spareF);
    std::vector<Pixel8> out8(12, spare8);
    std::vector<Pixel16> out16(12, spare16);
    ConvertToWorking(source.data(), work.data(), in, out);
    ConvertFromWorking(work.data(), out8.data(), out);
    ConvertFromWorking(work.data(), out16.data(), out);
    ConvertFromWorking(work.data(), outF.data(), out);
    for (int i = 0; i < 12; ++i) {
        const bool picture = i / 4 < 2 && i % 4 < 3;
        const PixelF& f = picture ? read[i % 4] : spareF;
        EXPECT_EQ(std::memcmp(&work[i], &f, sizeof f), 0) << i;
        EXPECT_EQ(std::memcmp(&outF[i], &f, sizeof f), 0) << i;
        EXPECT_EQ(std::memcmp(&out8[i], picture ? &want8[i % 4] : &spare8, sizeof spare8), 0) << i;
        EXPECT_EQ(std::memcmp(&out16[i], picture ? &want16[i % 4] : &spare16, sizeof spare16), 0) << i;
    }
}

}  // namespace
}  // namespace maculo
