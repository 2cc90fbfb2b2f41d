// The filter as video editors run it: a Kdenlive project through melt, an
// editor's half-size preview, and the widths ffmpeg would shear, said once.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "frei0r/VideoHosts.h"

namespace maculo {
namespace {

// melt's Qt module, which Kdenlive's compositing needs, starts only where a
// display is named; Qt draws off screen without one.
constexpr char kMeltOffscreen[] = "DISPLAY=offscreen QT_QPA_PLATFORM=offscreen melt -silent ";

class Editors : public VideoHosts {
protected:
    // The project as Kdenlive saves it, with `edit` applied: one clip of five
    // src_ pictures carrying the effect with Width keyframed from 6.25 to
    // 12.5 pixels, over Kdenlive's black track.
    void Project(const std::string& from = "", const std::string& to = "") const {
        std::stringstream text;
        text << std::ifstream(MACULO_FREI0R_TEST_DIR "/keyframed-width.kdenlive").rdbuf();
        std::string project = text.str();
        if (!from.empty()) project.replace(project.find(from), from.size(), to);
        std::ofstream(File("project.kdenlive")) << project;
    }

    std::string MeltProject(const std::string& name, const std::string& consumer = "") const {
        return Run(kMeltOffscreen + std::string("project.kdenlive -consumer avformat:") + name +
                   "_%04d.png vcodec=png pix_fmt=rgba " + consumer);
    }
};

// Mean difference, over the colour channels, between a half-size frame and
// the full-size one halved by averaging each 2x2 block, in 8-bit steps.
double MeanDifferenceFromHalved(const Pixels& full, const Pixels& half) {
    EXPECT_EQ(half.width * 2, full.width);
    EXPECT_EQ(half.height * 2, full.height);
    if (half.width * 2 != full.width || half.height * 2 != full.height) return 255.0;
    const auto at = [&](int x, int y, int c) { return int(full.bytes[(size_t(y) * full.width + x) * 4 + c]); };
    double sum = 0.0;
    for (int y = 0; y < half.height; ++y) {
        for (int x = 0; x < half.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int halved = (at(2 * x, 2 * y, c) + at(2 * x + 1, 2 * y, c) + at(2 * x, 2 * y + 1, c) +
                                    at(2 * x + 1, 2 * y + 1, c) + 2) /
                                   4;
                sum += std::abs(halved - int(half.bytes[(size_t(y) * half.width + x) * 4 + c]));
            }
        }
    }
    return sum / (3.0 * half.width * half.height);
}

// melt interpolates the keyframes linearly between the frames they sit on,
// as the renderer ramps a control from its first frame to its last; the
// values are binary fractions, so both land on the same pixel sizes. A popup
// away from its default shows that melt passes choices by name.
TEST_F(Editors, KdenliveProjectWithAKeyframedWidthEqualsTheRenderer) {
    if (!kMeltRuns) GTEST_SKIP() << "melt does not start in the sanitizer build";
    Source("320x180", 5);
    Project("<property name=\"gray\">before", "<property name=\"gray\">after");
    MeltProject("kdenlive");
    Render(5, "--width 6.25:12.5 --gray after");
    ExpectSameAsRenderer("kdenlive", 5);
}

// An editor previews at half size by asking for half-size frames of the
// full-size profile. The project names the full width, so the preview's
// pattern is the final one scaled: its labyrinth differs only where stripes
// meet. Measured: 26 to 29 of 255 over five frames; without the full width
// the pattern doubles in size, 122 to 124.
TEST_F(Editors, HalfSizePreviewIsTheFullRenderScaledDown) {
    if (!kMeltRuns) GTEST_SKIP() << "melt does not start in the sanitizer build";
    constexpr double kTolerance = 40.0;
    Source("320x180", 5);
    Project();
    MeltProject("full");
    MeltProject("half", "scale=0.5");
    Project("<property name=\"full-width\">320</property>", "");
    MeltProject("unscaled", "scale=0.5");
    for (int i = 1; i <= 5; i += 4) {
        const Pixels full = PixelsOf(File(FrameName("full", i)));
        EXPECT_LE(MeanDifferenceFromHalved(full, PixelsOf(File(FrameName("half", i)))), kTolerance) << i;
        EXPECT_GT(MeanDifferenceFromHalved(full, PixelsOf(File(FrameName("unscaled", i)))), 2 * kTolerance) << i;
    }
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// ffmpeg pads rows to its buffers' alignment, which frei0r does not pass on:
// the filter says so for a width it would shear, and the README's remedy,
// padding an RGBA frame and cropping back, says nothing, even at an odd
// height of a 4:2:0 clip.
TEST_F(Editors, FfmpegWidthsItWouldShearAreSaidOnce) {
    const auto filter = [this](const std::string& size, const std::string& chain) {
        // testsrc2 would round an odd height to an even one.
        Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=" + size +
            ":rate=25 -frames:v 3 -pix_fmt yuv420p -c:v ffv1 clip.mkv");
        return Run("ffmpeg -nostdin -v error -i clip.mkv -vf '" + chain + "' -f null -");
    };
    const std::string sheared = filter("50x36", "frei0r=maculo_pattern:simple|gaussian|before|0|0|0|0|0");
    EXPECT_EQ(Count(sheared, "maculo_pattern: "), 1u) << sheared;
    EXPECT_EQ(Count(sheared, "pad=ceil(iw/"), 1u) << sheared;
    EXPECT_EQ(filter("48x36", "frei0r=maculo_pattern"), "");
    EXPECT_EQ(filter("50x35", "format=rgba,pad=ceil(iw/16)*16:ih,frei0r=maculo_pattern,crop=50:35:0:0"), "");
}

}  // namespace
}  // namespace maculo
