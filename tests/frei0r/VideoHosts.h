// What the tests of the filter in ffmpeg, melt and the editors share: the
// pictures they read and write, and the renderer's frames of the same.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "filemodule/Pictures.h"
#include "tests/frei0r/ToolRuns.h"

namespace maculo {

// The pixels of a picture file as 8-bit channels, with their count.
struct Pixels {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const Pixels&) const = default;
};

inline Pixels PixelsOf(const std::string& file) {
    const OIIO::ImageBuf picture = ReadPicture(file);
    const OIIO::ImageSpec& spec = picture.spec();
    Pixels p{spec.width, spec.height, spec.nchannels, {}};
    p.bytes.resize(size_t(spec.width) * size_t(spec.height) * size_t(spec.nchannels));
    EXPECT_TRUE(picture.get_pixels(OIIO::ROI::All(), OIIO::TypeDesc::UINT8, p.bytes.data()));
    return p;
}

// Frame `number` of a sequence named like name_0001.png.
inline std::string FrameName(const std::string& name, int number) {
    char text[16];
    std::snprintf(text, sizeof text, "_%04d.png", number);
    return name + text;
}

// melt does not start with the sanitizer's runtime preloaded (gdk-pixbuf's
// start-up deadlocks in it), so the sanitizer build runs the filter in
// ffmpeg only.
constexpr bool kMeltRuns = std::string_view(MACULO_HOST_ENV).empty();

class VideoHosts : public ToolRuns {
protected:
    // testsrc2 as RGBA pictures src_0001.png on.
    void Source(const std::string& size, int frames) const {
        Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + size + ":rate=25 -frames:v " +
            std::to_string(frames) + " -pix_fmt rgba src_%04d.png");
    }

    void Render(int frames, const std::string& options) const {
        Run("'" MACULO_RENDER_PATH "' -q -i src_####.png -o cli_####.png --frames " + std::to_string(frames) + " " +
            options);
    }

    // Frames 1 ... frames of `name` equal the renderer's.
    void ExpectSameAsRenderer(const std::string& name, int frames) const {
        for (int i = 1; i <= frames; ++i) {
            const Pixels host = PixelsOf(File(FrameName(name, i)));
            EXPECT_EQ(host.channels, 4) << name << " frame " << i;
            EXPECT_TRUE(host == PixelsOf(File(FrameName("cli", i)))) << name << " frame " << i;
        }
    }
};

}  // namespace maculo
