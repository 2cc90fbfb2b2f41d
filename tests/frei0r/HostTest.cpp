// The filter in Debian's ffmpeg, which takes its parameters by position: its
// frames equal, byte for byte, the frames maculo-render makes of the same
// pictures with the same controls. melt and GStreamer, which take them by
// name, run it in the editors' and the host threads' tests.
#include "tests/frei0r/VideoHosts.h"

namespace maculo {
namespace {

// Together the cases move every control, and each popup to every choice.
TEST_F(VideoHosts, FfmpegFramesEqualTheRenderersWithTheSameControls) {
    Source("320x180", 5);
    const std::pair<const char*, const char*> cases[] = {  // ffmpeg's parameters, the renderer's options
        {"", ""},
        {"detail|box|after|0.03|0.02|0.015|0.05|0.005",
         "--mode detail --blur box --gray after --blur-radius 4 --sharp-radius 3 --sharpen 500 --amount 6"},
        {"simple|gaussian|off|0.05", "--gray off --width 10"}};
    for (const auto& [params, options] : cases) {
        SCOPED_TRACE(params);
        Render(5, options);
        Run(std::string("ffmpeg -nostdin -v error -y -i src_%04d.png -vf "
                        "'frei0r=filter_name=maculo_pattern:filter_params=") +
            params + "' -pix_fmt rgba ffmpeg_%04d.png");
        ExpectSameAsRenderer("ffmpeg", 5);
    }
}

}  // namespace
}  // namespace maculo
