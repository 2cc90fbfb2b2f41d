// The filter as video editors run it: a Kdenlive project through melt, an
// editor's half-size preview, and the widths ffmpeg would shear, said once.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/frei0r/VideoHosts.h"

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

// Mean difference, over the colour channels, between two pictures of one
// size, in 8-bit steps.
double MeanDifference(const Pixels& a, const Pixels& b) {
    EXPECT_TRUE(a.width == b.width && a.height == b.height && a.channels == 4 && b.channels == 4);
    if (a.bytes.size() != b.bytes.size()) return 255.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.bytes.size(); ++i) sum += i % 4 == 3 ? 0 : std::abs(a.bytes[i] - b.bytes[i]);
    return sum / (0.75 * double(a.bytes.size()));
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
// meet. Measured: 19 to 30 of 255 over five frames; without the full width
// the pattern doubles in size, 119 to 126.
TEST_F(Editors, HalfSizePreviewIsTheFullRenderScaledDown) {
    if (!kMeltRuns) GTEST_SKIP() << "melt does not start in the sanitizer build";
    constexpr double kTolerance = 40.0;
    Source("320x180", 5);
    Project();
    MeltProject("full");
    MeltProject("half", "scale=0.5");
    Project("<property name=\"full-width\">320</property>", "");
    MeltProject("unscaled", "scale=0.5");
    // The full render halved by averaging each 2x2 block.
    Run("ffmpeg -nostdin -v error -y -i full_%04d.png -vf scale=iw/2:ih/2:flags=area -pix_fmt rgba halved_%04d.png");
    for (int i = 1; i <= 5; i += 4) {
        const Pixels halved = PixelsOf(File(FrameName("halved", i)));
        EXPECT_LE(MeanDifference(halved, PixelsOf(File(FrameName("half", i)))), kTolerance) << i;
        EXPECT_GT(MeanDifference(halved, PixelsOf(File(FrameName("unscaled", i)))), 2 * kTolerance) << i;
    }
}

// ffmpeg pads rows to its buffers' alignment, which frei0r does not pass on:
// the filter says so, once, for a width it would shear, and the README's
// remedy, padding an RGBA frame and cropping back, says nothing, even at an
// odd height of a 4:2:0 clip (which testsrc2 would round to an even one).
TEST_F(Editors, FfmpegWidthsItWouldShearAreSaidOnce) {
    Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=50x35:rate=25 -frames:v 3 -pix_fmt yuv420p -c:v ffv1 "
        "clip.mkv");
    const std::string said = Run("ffmpeg -nostdin -v error -i clip.mkv -vf frei0r=maculo_pattern -f null -");
    const size_t line = said.find("maculo_pattern: ");
    EXPECT_TRUE(line != std::string::npos && line == said.rfind("maculo_pattern: ")) << said;
    EXPECT_NE(said.find("pad=ceil(iw/", line), std::string::npos) << said;
    EXPECT_EQ(Run("ffmpeg -nostdin -v error -i clip.mkv -vf "
                  "'format=rgba,pad=ceil(iw/16)*16:ih,frei0r=maculo_pattern,crop=50:35:0:0' -f null -"),
              "");
}

}  // namespace
}  // namespace maculo
