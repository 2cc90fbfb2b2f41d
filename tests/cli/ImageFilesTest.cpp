#include "cli/ImageFiles.h"

#include <OpenImageIO/imagebufalgo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "cli/CliError.h"

namespace maculo {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class ImageFiles : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("maculo-cli-" + std::to_string(getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string File(const std::string& name) const { return (folder_ / name).string(); }
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path folder_;
};

// Frames compare by their bytes: float storage may hold NaN patterns.
bool SameBytes(const FrameImage& a, const FrameImage& b) {
    return a.storage.size() == b.storage.size() &&
           std::memcmp(a.storage.data(), b.storage.data(), a.storage.size() * sizeof(float)) == 0;
}

// A 7 x 3 frame whose channels all differ, alpha included; 16-bit values use
// the host's whole 0 ... 32768 range, float ones go beyond 0 ... 1.
FrameImage Sample(int32_t depth) {
    FrameImage frame = MakeFrame(depth, 7, 3, true);
    const int32_t count = frame.width * frame.height * 4;
    for (int32_t i = 0; i < count; ++i) {
        if (depth == 8) {
            frame.Bytes()[i] = uint8_t(i * 37 % 256);
        } else if (depth == 16) {
            const uint16_t v = i == 5 ? 32768 : uint16_t(i * 1543 % 32768);
            std::memcpy(frame.Bytes() + 2 * i, &v, 2);
        } else {
            const float v = float(i) * 0.037f - 0.25f;
            std::memcpy(frame.Bytes() + 4 * i, &v, 4);
        }
    }
    return frame;
}

TEST(SixteenBit, HostValuesSurviveTheTripThroughAFile) {
    for (uint32_t h = 0; h <= 32768; ++h) ASSERT_EQ(FileToHost16(HostToFile16(uint16_t(h))), h) << h;
    EXPECT_EQ(HostToFile16(32768), 65535);
    EXPECT_EQ(FileToHost16(65535), 32768);
    EXPECT_EQ(HostToFile16(16384), 32768);
    EXPECT_EQ(HostToFile16(40000), 65535);  // beyond the host's full scale
    // A file value comes back within one step of the finer scale.
    for (uint32_t f = 0; f <= 65535; ++f) {
        const int back = HostToFile16(FileToHost16(uint16_t(f)));
        ASSERT_LE(std::abs(back - int(f)), 1) << f;
    }
}

TEST_F(ImageFiles, FramesSurviveTheirFilesAtEveryDepth) {
    struct Case {
        int32_t depth;
        const char* name;
    };
    for (const Case c : {Case{8, "a.png"}, Case{16, "b.png"}, Case{16, "c.tif"}, Case{32, "d.exr"}, Case{32, "e.tif"}}) {
        const FrameImage frame = Sample(c.depth);
        WriteFrame(frame, File(c.name));
        const OIIO::ImageBuf picture = ReadPicture(File(c.name));
        EXPECT_EQ(picture.nchannels(), 4) << c.name;
        EXPECT_EQ(NaturalDepth(picture), c.depth) << c.name;
        const FrameImage back = ToFrame(picture, c.depth);
        ASSERT_EQ(back.width, frame.width);
        ASSERT_EQ(back.height, frame.height);
        EXPECT_TRUE(SameBytes(back, frame)) << c.name;
    }
    // Nothing but the files themselves is left in the folder.
    EXPECT_EQ(Listing().size(), 5u);
}

TEST_F(ImageFiles, PicturesWithoutAlphaOrColourBecomeFullHostPixels) {
    // One gray channel, 16 bits: gray fills red, green and blue; alpha is full.
    OIIO::ImageBuf gray(OIIO::ImageSpec(2, 1, 1, OIIO::TypeDesc::UINT16));
    const uint16_t values[2] = {0, 65535};
    gray.set_pixels(gray.roi(), OIIO::TypeDesc::UINT16, values);
    const FrameImage frame = ToFrame(gray, 16);
    EXPECT_FALSE(frame.hasAlpha);
    uint16_t argb[8];
    std::memcpy(argb, frame.Bytes(), sizeof argb);
    const uint16_t want[8] = {32768, 0, 0, 0, 32768, 32768, 32768, 32768};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(argb[i], want[i]) << i;

    // Without alpha the file gets three channels, and so does a format
    // without alpha even when the frame has it.
    WriteFrame(frame, File("gray.png"));
    EXPECT_EQ(ReadPicture(File("gray.png")).nchannels(), 3);
    WriteFrame(Sample(8), File("alpha.jpg"));
    EXPECT_EQ(ReadPicture(File("alpha.jpg")).nchannels(), 3);

    // An 8-bit picture asked for as a float frame.
    const FrameImage asFloat = ToFrame(ReadPicture(File("gray.png")), 32);
    float first[4];
    std::memcpy(first, asFloat.Bytes(), sizeof first);
    EXPECT_EQ(first[0], 1.0f);
    EXPECT_EQ(first[1], 0.0f);
}

TEST_F(ImageFiles, NoiseIsDeterministicAndDownsamplesByAveraging) {
    const OIIO::ImageBuf a = NoisePicture(33, 17, 5);
    const FrameImage fa = ToFrame(a, 8);
    EXPECT_EQ(NaturalDepth(a), 8);
    EXPECT_EQ(fa.width, 33);
    EXPECT_EQ(fa.height, 17);
    EXPECT_TRUE(SameBytes(fa, ToFrame(NoisePicture(33, 17, 5), 8)));
    EXPECT_FALSE(SameBytes(fa, ToFrame(NoisePicture(33, 17, 6), 8)));
    // Spread over the channel's range, not a constant.
    int low = 0, high = 0;
    for (int i = 0; i < fa.width * fa.height * 4; i += 4) {
        low += fa.Bytes()[i + 1] < 64;
        high += fa.Bytes()[i + 1] > 191;
    }
    EXPECT_GT(low, 50);
    EXPECT_GT(high, 50);

    OIIO::ImageBuf steps(OIIO::ImageSpec(4, 2, 1, OIIO::TypeDesc::FLOAT));
    const float v[8] = {0, 1, 2, 4, 3, 4, 6, 8};
    steps.set_pixels(steps.roi(), OIIO::TypeDesc::FLOAT, v);
    const OIIO::ImageBuf half = Downsample(steps, 2);
    ASSERT_EQ(half.spec().width, 2);
    ASSERT_EQ(half.spec().height, 1);
    float got[2];
    half.get_pixels(half.roi(), OIIO::TypeDesc::FLOAT, got);
    EXPECT_FLOAT_EQ(got[0], 2.0f);
    EXPECT_FLOAT_EQ(got[1], 5.0f);
    const OIIO::ImageBuf odd = Downsample(NoisePicture(5, 3, 1), 2);
    EXPECT_EQ(odd.spec().width, 3);
    EXPECT_EQ(odd.spec().height, 2);
    EXPECT_EQ(NaturalDepth(odd), 8);
}

TEST_F(ImageFiles, UnreadableAndUnwritableFilesFailCleanly) {
    auto failure = [](auto&& action) -> std::string {
        try {
            action();
        } catch (const CliError& e) {
            EXPECT_EQ(e.ExitCode(), kExitFailure);
            return e.what();
        }
        ADD_FAILURE() << "no error";
        return "";
    };
    EXPECT_NE(failure([&] { ReadPicture(File("missing.png")); }).find("cannot read " + File("missing.png")),
              std::string::npos);
    std::FILE* text = std::fopen(File("notes.png").c_str(), "w");
    std::fputs("not a picture", text);
    std::fclose(text);
    EXPECT_NE(failure([&] { ReadPicture(File("notes.png")); }).find("cannot read"), std::string::npos);

    EXPECT_NE(failure([&] { CheckWritable(File("out.unknownformat")); }).find("cannot write"), std::string::npos);
    EXPECT_NE(failure([&] { CheckWritable(File("nowhere/out.png")); }).find("no folder"), std::string::npos);
    EXPECT_NO_THROW(CheckWritable(File("out.png")));

    // A failed write leaves nothing behind, and an existing file stays as it was.
    EXPECT_NE(failure([&] { WriteFrame(Sample(8), File("nowhere/out.png")); }).find("cannot write"),
              std::string::npos);
    fs::create_directory(folder_ / "taken.png");  // a folder where the file should go
    failure([&] { WriteFrame(Sample(8), File("taken.png")); });
    EXPECT_TRUE(fs::is_directory(folder_ / "taken.png"));
    EXPECT_EQ(Listing(), std::vector<std::string>({"notes.png", "taken.png"}));
}

}  // namespace
}  // namespace maculo
