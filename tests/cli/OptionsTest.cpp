#include "renderlib/Options.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/cli/ScratchFolder.h"

namespace maculo {
namespace {

// The arguments of a command line, split at spaces.
std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(Options, EveryControlAndSettingIsReadAndRampsHitTheirEnds) {
    const CliOptions o = ParseOptions(
        Words("--input=in.tif -o seq_###.exr --mode detail --blur box --gray=after --width 0.1:150 --blur-radius 12.5 "
              "--sharp-radius 0 --sharpen 250:9000 --amount 1:32 --depth 16 --downsample 4 --frames 5 --gpu "
              "--plugin /x/p.so --range 2:4 --threads 3 --compression 9 -q --skip-existing --stale-after 90"));
    EXPECT_EQ(std::make_tuple(o.input, o.output, o.plugin, o.depth, o.downsample, o.frames, o.gpu),
              std::make_tuple("in.tif", "seq_###.exr", "/x/p.so", 16, 4, 5, true));
    EXPECT_EQ(std::make_tuple(o.first, o.Last(), o.threads, o.quiet, o.compression), std::make_tuple(2, 4, 3, true, 9));
    EXPECT_EQ(std::make_pair(o.skipExisting, o.staleAfter), std::make_pair(true, 90));
    const ParamValues first = ControlsAt(o.controls, 0, 5);
    const ParamValues last = ControlsAt(o.controls, 4, 5);
    EXPECT_EQ(std::make_tuple(first[kParamMode], first[kParamBlur], first[kParamGray]), std::make_tuple(2, 1, 3));
    // Ramps reach their ends exactly.
    EXPECT_EQ(std::make_tuple(first[kParamWidth], last[kParamWidth]), std::make_tuple(0.1, 150.0));
    EXPECT_EQ(std::make_tuple(first[kParamBlurRadius], last[kParamBlurRadius], first[kParamSharpRadius]),
              std::make_tuple(12.5, 12.5, 0.0));
    EXPECT_EQ(std::make_tuple(first[kParamSharpen], last[kParamSharpen]), std::make_tuple(250.0, 9000.0));
    // 16.5 rounds up.
    EXPECT_EQ(std::make_tuple(first[kParamAmount], ControlsAt(o.controls, 2, 5)[kParamAmount], last[kParamAmount]),
              std::make_tuple(1, 17, 32));
    // A single frame takes the ramp's start.
    EXPECT_EQ(ControlsAt(ParseOptions({"-o", "x.png", "--amount", "5:9"}).controls, 0, 1)[kParamAmount], 5);
}

TEST(Options, WrongCommandLinesAreRefusedWithAClearLine) {
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"-o", "a.png", "--width"}, "--width needs a value"},
        {{"-o", "a.png", "extra.png"}, "unexpected argument 'extra.png'"},
        {{"--width", "3"}, "no output file"},
        {{"-o", "a.png", "--width", "-1"}, "--width must lie from 0 to "},
        {{"-o", "a.png", "--width", "nan"}, "--width needs a number"},
        {{"-o", "a.png", "--amount", "2.5"}, "--amount needs a whole number"},
        {{"-o", "a.png", "--amount", "1:-1"}, "--amount must lie from 1 to "},
        {{"-o", "a.png", "--blur", "median"}, "--blur takes box|gaussian, not 'median'"},
        {{"-o", "a.png", "--depth", "12"}, "--depth takes 8, 16 or 32"},
        {{"-o", "a.png", "--downsample", "0"}, "--downsample needs a whole number from 1 to 64"},
        {{"-o", "a.png", "--size", "0x10"}, "--size needs WIDTHxHEIGHT"},
        {{"-o", "a.png", "--frames", "3"}, "needs a run of '#' in the output name"},
        {{"-o", "a_#.png", "--frames", "5", "--range", "4:6"}, "--range ends at frame 6, after the last of --frames 5"},
    };
    for (const Case& c : cases) {
        const std::string message = ErrorOf(kExitUsage, [&] { ParseOptions(c.args); });
        EXPECT_NE(message.find(c.says), std::string::npos) << "said: " << message << "\nwanted: " << c.says;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

TEST(Options, FrameNumbersFillTheLastRunOfHashesInTheFileName) {
    EXPECT_EQ(FrameFileName("out_##.png", 12345), "out_12345.png");
    EXPECT_EQ(FrameFileName("a#b###.tif", 42), "a#b042.tif");
    EXPECT_EQ(FrameFileName("take#2/f_#.exr", 3), "take#2/f_3.exr");
    EXPECT_EQ(FrameFileName("take#2/still.exr", 3), "take#2/still.exr");
}

}  // namespace
}  // namespace maculo
