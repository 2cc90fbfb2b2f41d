#include "filemodule/Pictures.h"

#include <OpenImageIO/imagebufalgo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <utility>
#include <vector>

#include "filemodule/FileDepths.h"
#include "filemodule/FrameWriter.h"
#include "tests/cli/ScratchFolder.h"

namespace maculo {
namespace {

namespace fs = std::filesystem;

using ImageFiles = ScratchFolder;

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
        const uint8_t v8 = uint8_t(i * 37 % 256);
        const uint16_t v16 = i == 5 ? 32768 : uint16_t(i * 1543 % 32768);
        const float v32 = float(i) * 0.037f - 0.25f;
        const void* v = depth == 8 ? &v8 : depth == 16 ? static_cast<const void*>(&v16) : &v32;
        std::memcpy(frame.Bytes() + i * depth / 8, v, size_t(depth / 8));
    }
    return frame;
}

TEST(SixteenBit, HostValuesSurviveTheTripThroughAFile) {
    for (uint32_t h = 0; h <= 32768; ++h) ASSERT_EQ(FileToHost16(HostToFile16(uint16_t(h))), h) << h;
    // Full scale, and beyond it, is the file's full scale.
    EXPECT_EQ(std::make_pair(int(HostToFile16(32768)), int(HostToFile16(40000))), std::make_pair(65535, 65535));
    // A file value comes back within one step of the finer scale.
    for (uint32_t f = 0; f <= 65535; ++f) ASSERT_LE(std::abs(HostToFile16(FileToHost16(uint16_t(f))) - int(f)), 1) << f;
}

TEST_F(ImageFiles, FramesSurviveTheirFilesAtEveryDepth) {
    struct Case {
        int32_t depth;
        const char* name;
        int32_t fileDepth;  // PNG holds no floats, OpenEXR no 16-bit integers
    };
    for (const Case c : {Case{8, "a.png", 8}, Case{16, "b.png", 16}, Case{16, "c.tif", 16}, Case{16, "d.exr", 32},
                         Case{32, "e.exr", 32}, Case{32, "f.tif", 32}, Case{8, "g.tif", 8}}) {
        const FrameImage frame = Sample(c.depth);
        WriteFrame(frame, File(c.name));
        const OIIO::ImageBuf picture = ReadPicture(File(c.name));
        EXPECT_EQ(std::make_pair(picture.nchannels(), NaturalDepth(picture)), std::make_pair(4, c.fileDepth)) << c.name;
        const FrameImage back = ToFrame(picture, c.depth);
        EXPECT_EQ(std::make_pair(back.width, back.height), std::make_pair(frame.width, frame.height));
        EXPECT_TRUE(SameBytes(back, frame)) << c.name;
    }
}

// A picture of any type converts as if first converted to the frame's own:
// half floats, for one, are no 16-bit integers though as wide.
TEST(Frames, PicturesOfAnyTypeConvertAsIfOfTheFramesOwn) {
    const auto as = [](const OIIO::ImageBuf& picture, OIIO::TypeDesc type) {
        OIIO::ImageBuf copy;
        EXPECT_TRUE(OIIO::ImageBufAlgo::copy(copy, picture, type));
        return copy;
    };
    for (const int32_t depth : {8, 16, 32}) {
        const OIIO::TypeDesc own = WithDepth(depth, [](auto d) { return decltype(d)::Type(); });
        for (const OIIO::TypeDesc type : {OIIO::TypeDesc::UINT16, OIIO::TypeDesc::HALF, OIIO::TypeDesc::FLOAT}) {
            const OIIO::ImageBuf other = as(NoisePicture(5, 3, 1), type);
            EXPECT_TRUE(SameBytes(ToFrame(other, depth), ToFrame(as(other, own), depth))) << depth << " " << type;
        }
    }
}

// While the frame of a gray picture stays gray it is written gray, with the
// source's metadata (the resolution scaled: the same print size holds half
// the pixels); a result in colour is written in colour.
TEST_F(ImageFiles, GrayPicturesStayGrayAndKeepTheirMetadata) {
    OIIO::ImageBuf gray(OIIO::ImageSpec(2, 1, 1, OIIO::TypeDesc::UINT16));
    const uint16_t values[2] = {0, 65535};
    gray.set_pixels(gray.roi(), OIIO::TypeDesc::UINT16, values);
    gray.specmod().attribute("Orientation", 6);
    gray.specmod().attribute("XResolution", 300.0f);
    gray.specmod().attribute("ResolutionUnit", "in");
    ASSERT_TRUE(gray.write(File("source.tif")));
    const OIIO::ImageBuf source = ReadPicture(File("source.tif"));
    const FrameImage frame = ToFrame(source, 16);

    const FileTraits traits = TraitsOf(source, 2);
    WriteFrame(frame, File("gray.tif"), traits);
    const OIIO::ImageSpec kept = ReadPicture(File("gray.tif")).spec();
    EXPECT_EQ(std::make_tuple(kept.nchannels, kept.get_int_attribute("Orientation"),
                              kept.get_float_attribute("XResolution"), kept.get_string_attribute("ResolutionUnit")),
              std::make_tuple(1, 6, 150.0f, "in"));
    FrameImage tinted = frame;
    tinted.Bytes()[2] ^= 1;  // the first pixel's red
    WriteFrame(tinted, File("tinted.png"), traits);
    EXPECT_EQ(ReadPicture(File("tinted.png")).nchannels(), 3);  // and no alpha
}

// The renderer's own tests compare with pictures downsampled the same way,
// so the averaging is checked here.
TEST(Downsampling, AveragesBlocksAndKeepsPartialEdgeBlocks) {
    OIIO::ImageBuf steps(OIIO::ImageSpec(4, 2, 1, OIIO::TypeDesc::FLOAT));
    const float v[8] = {0, 1, 2, 4, 3, 4, 6, 8};
    steps.set_pixels(steps.roi(), OIIO::TypeDesc::FLOAT, v);
    const OIIO::ImageBuf half = Downsample(steps, 2);
    ASSERT_EQ(std::make_pair(half.spec().width, half.spec().height), std::make_pair(2, 1));
    float got[2];
    half.get_pixels(half.roi(), OIIO::TypeDesc::FLOAT, got);
    EXPECT_EQ(std::make_pair(got[0], got[1]), std::make_pair(2.0f, 5.0f));
    const OIIO::ImageBuf odd = Downsample(NoisePicture(5, 3, 1), 2);
    EXPECT_EQ(std::make_tuple(odd.spec().width, odd.spec().height, NaturalDepth(odd)), std::make_tuple(3, 2, 8));
}

// Unreadable files and folders in the way are the renderer's own tests' matter.
TEST_F(ImageFiles, WritesFollowLinksKeepPermissionsAndSpareProtectedFiles) {
    WriteFrame(Sample(8), File("target.png"));
    fs::permissions(File("target.png"), fs::perms(0640));
    fs::create_symlink("target.png", File("link.png"));
    fs::create_symlink("new.png", File("dangling.png"));
    WriteFrame(Sample(16), File("link.png"));
    WriteFrame(Sample(8), File("dangling.png"));
    EXPECT_TRUE(fs::is_symlink(File("link.png")) && fs::is_symlink(File("dangling.png")));
    EXPECT_EQ(NaturalDepth(ReadPicture(File("target.png"))), 16);
    EXPECT_EQ(fs::status(File("target.png")).permissions(), fs::perms(0640));
    EXPECT_TRUE(fs::exists(File("new.png")));

    // Not even a user who may remove it (root) replaces a write-protected file.
    fs::permissions(File("target.png"), fs::perms::owner_read);
    for (const std::string& message : {ErrorOf(kExitFailure, [&] { CheckWritable(File("link.png")); }),
                                       ErrorOf(kExitFailure, [&] { WriteFrame(Sample(8), File("target.png")); })})
        EXPECT_NE(message.find("Permission denied"), std::string::npos) << message;
    EXPECT_EQ(NaturalDepth(ReadPicture(File("target.png"))), 16);
    EXPECT_EQ(Files(), std::vector<std::string>({"dangling.png", "link.png", "new.png", "target.png"}));
}

}  // namespace
}  // namespace maculo
