// The filter in the video tools people run it in, Debian's ffmpeg and melt:
// their frames equal, byte for byte, the frames maculo-render makes of the
// same pictures with the same controls.
#include "frei0r/VideoHosts.h"

namespace maculo {
namespace {

// One set of controls as each program spells it.
struct ControlCase {
    const char* name;
    const char* ffmpegParams;  // by position, '|' between them
    const char* meltProperties;
    const char* rendererOptions;
};

void PrintTo(const ControlCase& c, std::ostream* out) { *out << c.name; }

class SameControls : public VideoHosts, public testing::WithParamInterface<ControlCase> {};

TEST_P(SameControls, FfmpegAndMeltFramesEqualTheRenderers) {
    const ControlCase& c = GetParam();
    Source("320x180", 5);
    Render(5, c.rendererOptions);
    Run(std::string("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x180:rate=25 -frames:v 5 -vf "
                    "'frei0r=filter_name=maculo_pattern:filter_params=") +
        c.ffmpegParams + "' -pix_fmt rgba ffmpeg_%04d.png");
    ExpectSameAsRenderer("ffmpeg", 5);
    if (!kMeltRuns) return;
    Melt(c.meltProperties);
    ExpectSameAsRenderer("melt", 5);
}

// melt takes a parameter by name or by number; popups by name in any case.
INSTANTIATE_TEST_SUITE_P(Controls, SameControls,
                         testing::Values(ControlCase{"Defaults", "", "", ""},
                                         ControlCase{
                                             "Detail", "detail|gaussian|before|0.03|0.02|0.015|0.05|0.005",
                                             "mode=detail blur-radius=0.02 sharp-radius=0.015 sharpen=0.05 7=0.005",
                                             "--mode detail --blur-radius 4 --sharp-radius 3 --sharpen 500 --amount 6"},
                                         ControlCase{"BoxGrayAfter", "simple|box|after", "blur=Box 2=after",
                                                     "--blur box --gray after"},
                                         ControlCase{"GrayOff", "simple|gaussian|off", "gray=off", "--gray off"},
                                         ControlCase{"GrayBefore", "simple|gaussian|before|0.05", "2=before width=0.05",
                                                     "--gray before --width 10"}),
                         [](const testing::TestParamInfo<ControlCase>& info) { return std::string(info.param.name); });

// A hundred frames whose size changes on the way: ffmpeg makes a new
// instance for the new size, and scales what it makes to the size of the
// first frames, which its encoder keeps. The renderer's frames go through
// the same change, without the filter.
TEST_F(VideoHosts, FfmpegAcrossASizeChange) {
    Source("64x36", 60);
    Source("48x30", 40, 61);
    Render(100, "--amount 5");
    Run("ffmpeg -nostdin -v error -y -i cli_%04d.png -pix_fmt rgba reference_%04d.png");
    Run("ffmpeg -nostdin -v error -y -i src_%04d.png -vf "
        "'frei0r=filter_name=maculo_pattern:filter_params=simple|gaussian|before|0.03|0.03|0.03|0.1|0.004' "
        "-pix_fmt rgba ffmpeg_%04d.png");
    ExpectSameAsRenderer("ffmpeg", 100, "reference");
}

}  // namespace
}  // namespace maculo
