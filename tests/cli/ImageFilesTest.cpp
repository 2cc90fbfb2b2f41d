#include "cli/ImageFiles.h"

#include <OpenImageIO/imagebufalgo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <tuple>
#include <utility>

#include "ScratchFolder.h"
#include "cli/CliError.h"
#include "cli/FrameFiles.h"

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
    // A float frame in a PNG keeps 16 bits of every channel in 0 ... 1.
    FrameImage unit = MakeFrame(32, 3, 1, true);
    for (size_t i = 0; i < unit.storage.size(); ++i) unit.storage[i] = float(i) / 11.0f;
    WriteFrame(unit, File("h.png"));
    const OIIO::ImageBuf png = ReadPicture(File("h.png"));
    EXPECT_EQ(NaturalDepth(png), 16);
    const FrameImage back = ToFrame(png, 32);
    for (size_t i = 0; i < unit.storage.size(); ++i) EXPECT_NEAR(back.storage[i], unit.storage[i], 0.5f / 65535);

    // Nothing but the files themselves is left in the folder.
    EXPECT_EQ(Files().size(), 8u);
}

TEST_F(ImageFiles, PicturesWithoutAlphaOrColourBecomeFullHostPixels) {
    // One gray channel, 16 bits: gray fills red, green and blue; alpha is full.
    OIIO::ImageBuf gray(OIIO::ImageSpec(2, 1, 1, OIIO::TypeDesc::UINT16));
    const uint16_t values[2] = {0, 65535};
    gray.set_pixels(gray.roi(), OIIO::TypeDesc::UINT16, values);
    const FrameImage frame = ToFrame(gray, 16);
    EXPECT_FALSE(frame.hasAlpha);
    const uint16_t want[8] = {32768, 0, 0, 0, 32768, 32768, 32768, 32768};
    EXPECT_EQ(std::memcmp(frame.Bytes(), want, sizeof want), 0);

    // Without alpha the file gets three channels, and so does a format
    // without alpha even when the frame has it.
    WriteFrame(frame, File("gray.png"));
    EXPECT_EQ(ReadPicture(File("gray.png")).nchannels(), 3);
    WriteFrame(Sample(8), File("alpha.jpg"));
    EXPECT_EQ(ReadPicture(File("alpha.jpg")).nchannels(), 3);

    // An 8-bit picture asked for as a float frame.
    const FrameImage asFloat = ToFrame(ReadPicture(File("gray.png")), 32);
    EXPECT_EQ(std::make_pair(asFloat.storage[0], asFloat.storage[1]), std::make_pair(1.0f, 0.0f));
}

// The renderer's own tests compare with pictures downsampled the same way,
// so the averaging is checked here.
TEST(Downsampling, AveragesBlocksAndKeepsPartialEdgeBlocks) {
    OIIO::ImageBuf steps(OIIO::ImageSpec(4, 2, 1, OIIO::TypeDesc::FLOAT));
    const float v[8] = {0, 1, 2, 4, 3, 4, 6, 8};
    steps.set_pixels(steps.roi(), OIIO::TypeDesc::FLOAT, v);
    const OIIO::ImageBuf half = Downsample(steps, 2);
    ASSERT_EQ(half.spec().width, 2);
    ASSERT_EQ(half.spec().height, 1);
    float got[2];
    half.get_pixels(half.roi(), OIIO::TypeDesc::FLOAT, got);
    EXPECT_EQ(std::make_pair(got[0], got[1]), std::make_pair(2.0f, 5.0f));
    const OIIO::ImageBuf odd = Downsample(NoisePicture(5, 3, 1), 2);
    EXPECT_EQ(std::make_tuple(odd.spec().width, odd.spec().height, NaturalDepth(odd)), std::make_tuple(3, 2, 8));
}

// The message of the failure that `action` raises.
template <typename Action>
std::string FailureOf(Action&& action) {
    try {
        action();
    } catch (const CliError& e) {
        EXPECT_EQ(e.ExitCode(), kExitFailure);
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return "";
}

TEST_F(ImageFiles, UnreadableAndUnwritableFilesFailCleanly) {
    // Missing files and folders are the renderer's own tests' matter.
    std::FILE* text = std::fopen(File("notes.png").c_str(), "w");
    std::fputs("not a picture", text);
    std::fclose(text);
    EXPECT_NE(FailureOf([&] { ReadPicture(File("notes.png")); }).find("cannot read"), std::string::npos);
    // The JPEG reader only warns of a file cut short, and would fill the rest.
    WriteFrame(ToFrame(NoisePicture(64, 64, 1), 8), File("cut.jpg"));
    fs::resize_file(File("cut.jpg"), fs::file_size(File("cut.jpg")) / 2);
    EXPECT_EQ(FailureOf([&] { ReadPicture(File("cut.jpg")); }).rfind("cannot read " + File("cut.jpg") + ": ", 0), 0u);

    EXPECT_NO_THROW(CheckWritable(File("out.png")));

    // A failed write leaves nothing behind, and what stood in its place stays.
    fs::create_directory(File("taken.png"));  // a folder where the file should go
    for (const std::string& message : {FailureOf([&] { WriteFrame(Sample(8), File("taken.png")); }),
                                       FailureOf([&] { ReadPicture(File("taken.png")); })})
        EXPECT_NE(message.find(File("taken.png") + ": it is a folder"), std::string::npos) << message;
    EXPECT_TRUE(fs::is_directory(File("taken.png")));
    EXPECT_EQ(Files(), std::vector<std::string>({"cut.jpg", "notes.png", "taken.png"}));
}

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
    EXPECT_NE(FailureOf([&] { CheckWritable(File("link.png")); }).find("Permission denied"), std::string::npos);
    EXPECT_NE(FailureOf([&] { WriteFrame(Sample(8), File("target.png")); }).find("Permission denied"),
              std::string::npos);
    EXPECT_EQ(NaturalDepth(ReadPicture(File("target.png"))), 16);
    EXPECT_EQ(Files(), std::vector<std::string>({"dangling.png", "link.png", "new.png", "target.png"}));
}

TEST_F(ImageFiles, FilesKeepTheSourcesMetadataAndGrayness) {
    OIIO::ImageBuf gray(OIIO::ImageSpec(8, 6, 1, OIIO::TypeDesc::UINT8));
    OIIO::ImageBufAlgo::noise(gray, "uniform", 0.0f, 1.0f);
    gray.specmod().attribute("Orientation", 6);
    gray.specmod().attribute("XResolution", 300.0f);
    gray.specmod().attribute("ResolutionUnit", "in");
    ASSERT_TRUE(gray.write(File("source.tif")));
    const OIIO::ImageBuf source = ReadPicture(File("source.tif"));
    const FileTraits traits = TraitsOf(source, 2);  // half the pixels over the same print size

    WriteFrame(ToFrame(Downsample(source, 2), 16), File("gray.tif"), traits);
    const OIIO::ImageSpec kept = ReadPicture(File("gray.tif")).spec();
    EXPECT_EQ(std::make_tuple(kept.nchannels, kept.get_int_attribute("Orientation"),
                              kept.get_float_attribute("XResolution"), kept.get_string_attribute("ResolutionUnit")),
              std::make_tuple(1, 6, 150.0f, "in"));
    // A result in colour stays in colour.
    FrameImage tinted = ToFrame(source, 8);
    tinted.Bytes()[1] ^= 1;  // the first pixel's red
    WriteFrame(tinted, File("tinted.png"), traits);
    EXPECT_EQ(ReadPicture(File("tinted.png")).nchannels(), 3);

    // What a format cannot hold is said, once.
    EXPECT_EQ(WriteFrame(Sample(16), File("lossy.jpg")),
              File("lossy.jpg") + " holds 8-bit channels, not the frame's 16 bits, and no alpha");
    EXPECT_EQ(WriteFrame(Sample(8), File("whole.exr")) + WriteFrame(Sample(32), File("whole.tif")), "");
}

}  // namespace
}  // namespace maculo
