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
// Together the cases move every control, and each popup to every choice.
INSTANTIATE_TEST_SUITE_P(
    Controls, SameControls,
    testing::Values(ControlCase{"Defaults", "", "", ""},
                    ControlCase{"DetailBoxGrayAfter", "detail|box|after|0.03|0.02|0.015|0.05|0.005",
                                "mode=detail blur=Box 2=after blur-radius=0.02 sharp-radius=0.015 sharpen=0.05 7=0.005",
                                "--mode detail --blur box --gray after --blur-radius 4 --sharp-radius 3 --sharpen 500 "
                                "--amount 6"},
                    ControlCase{"GrayOffWidth", "simple|gaussian|off|0.05", "gray=off width=0.05",
                                "--gray off --width 10"}),
    [](const testing::TestParamInfo<ControlCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace maculo
