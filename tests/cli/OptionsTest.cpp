#include "cli/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliError.h"

namespace maculo {
namespace {

CliOptions Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "maculo-render");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return ParseOptions(int(args.size()), argv.data());
}

// The message of the usage error that parsing these arguments raises.
std::string Refusal(const std::vector<std::string>& args) {
    try {
        Parse(args);
    } catch (const CliError& e) {
        EXPECT_EQ(e.ExitCode(), kExitUsage);
        return e.what();
    }
    ADD_FAILURE() << "accepted";
    return "";
}

TEST(Options, DefaultsMatchTheEffectsControls) {
    const CliOptions o = Parse({"-o", "out.png"});
    EXPECT_EQ(o.action, CliOptions::Action::kRender);
    EXPECT_EQ(o.output, "out.png");
    EXPECT_TRUE(o.input.empty());
    EXPECT_EQ(o.noiseWidth, 1920);
    EXPECT_EQ(o.noiseHeight, 1080);
    EXPECT_EQ(o.depth, 0);
    EXPECT_EQ(o.frames, 1);
    EXPECT_EQ(o.downsample, 1);
    EXPECT_FALSE(o.gpu);
    const ControlValues v = ControlsAt(o.controls, 0, 1);
    EXPECT_EQ(v[kParamMode], 1);
    EXPECT_EQ(v[kParamBlur], 2);
    EXPECT_EQ(v[kParamGray], 2);
    EXPECT_EQ(v[kParamWidth], 6.0);
    EXPECT_EQ(v[kParamBlurRadius], 6.0);
    EXPECT_EQ(v[kParamSharpRadius], 6.0);
    EXPECT_EQ(v[kParamSharpen], 1000.0);
    EXPECT_EQ(v[kParamAmount], 32);
    EXPECT_TRUE(o.notes.empty());
}

TEST(Options, EveryControlAndSettingIsRead) {
    const CliOptions o =
        Parse({"--input=in.tif", "-o", "seq_###.exr", "--mode", "detail", "--blur", "box", "--gray=after",
               "--blur-radius", "12.5", "--sharp-radius", "0", "--sharpen", "250:10000", "--amount", "1:32",
               "--depth", "16", "--downsample", "4", "--frames", "5", "--gpu", "--plugin", "/x/p.so"});
    EXPECT_EQ(o.input, "in.tif");
    EXPECT_EQ(o.output, "seq_###.exr");
    EXPECT_EQ(o.plugin, "/x/p.so");
    EXPECT_EQ(o.depth, 16);
    EXPECT_EQ(o.downsample, 4);
    EXPECT_EQ(o.frames, 5);
    EXPECT_TRUE(o.gpu);
    const ControlValues first = ControlsAt(o.controls, 0, 5);
    const ControlValues last = ControlsAt(o.controls, 4, 5);
    EXPECT_EQ(first[kParamMode], 2);
    EXPECT_EQ(first[kParamBlur], 1);
    EXPECT_EQ(first[kParamGray], 3);
    EXPECT_EQ(first[kParamBlurRadius], 12.5);
    EXPECT_EQ(last[kParamBlurRadius], 12.5);
    EXPECT_EQ(first[kParamSharpRadius], 0.0);
    EXPECT_EQ(first[kParamSharpen], 250.0);
    EXPECT_EQ(last[kParamSharpen], 10000.0);
    EXPECT_EQ(first[kParamAmount], 1);
    EXPECT_EQ(ControlsAt(o.controls, 2, 5)[kParamAmount], 17);  // 16.5 rounds up
    EXPECT_EQ(last[kParamAmount], 32);

    for (const char* flag : {"--help", "-h"}) EXPECT_EQ(Parse({flag}).action, CliOptions::Action::kHelp);
    EXPECT_EQ(Parse({"--version"}).action, CliOptions::Action::kVersion);
    EXPECT_EQ(Parse({"--about", "--plugin", "p.so"}).action, CliOptions::Action::kAbout);
}

TEST(Options, RampsHitTheirEndsExactly) {
    const CliOptions o = Parse({"-o", "f#.png", "--frames", "7", "--width", "0.1:200"});
    EXPECT_EQ(ControlsAt(o.controls, 0, 7)[kParamWidth], 0.1);
    EXPECT_EQ(ControlsAt(o.controls, 6, 7)[kParamWidth], 200.0);
    for (int f = 1; f < 6; ++f) {
        EXPECT_GT(ControlsAt(o.controls, f, 7)[kParamWidth], ControlsAt(o.controls, f - 1, 7)[kParamWidth]);
        EXPECT_LT(ControlsAt(o.controls, f, 7)[kParamWidth], 200.0);
    }
    // A single frame takes the ramp's start.
    EXPECT_EQ(ControlsAt(Parse({"-o", "x.png", "--amount", "5:9"}).controls, 0, 1)[kParamAmount], 5);
}

TEST(Options, WrongCommandLinesAreRefusedWithAClearLine) {
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"-o", "a.png", "--colour", "red"}, "unknown option '--colour'"},
        {{"-o", "a.png", "--width"}, "--width needs a value"},
        {{"-o", "a.png", "extra.png"}, "unexpected argument 'extra.png'"},
        {{"--width", "3"}, "no output file"},
        {{"-o", "a.png", "--width", "250"}, "--width must lie from 0 to 200, not '250'"},
        {{"-o", "a.png", "--width", "-0.5"}, "--width must lie from 0 to 200"},
        {{"-o", "a.png", "--width", "6px"}, "--width needs a number"},
        {{"-o", "a.png", "--width", "nan"}, "--width needs a number"},
        {{"-o", "a.png", "--width", "inf"}, "--width needs a number"},
        {{"-o", "a.png", "--sharpen", "10000.5"}, "--sharpen must lie from 0 to 10000"},
        {{"-o", "a.png", "--amount", "0"}, "--amount must lie from 1 to 1000"},
        {{"-o", "a.png", "--amount", "2.5"}, "--amount needs a whole number"},
        {{"-o", "a.png", "--amount", "1:1001"}, "--amount must lie from 1 to 1000, not '1001'"},
        {{"-o", "a.png", "--amount", "1:"}, "--amount needs a number"},
        {{"-o", "a.png", "--blur", "median"}, "--blur takes box|gaussian, not 'median'"},
        {{"-o", "a.png", "--gray", "On"}, "--gray takes off|before|after"},
        {{"-o", "a.png", "--mode", ""}, "--mode takes simple|detail"},
        {{"-o", "a.png", "--depth", "12"}, "--depth takes 8, 16 or 32"},
        {{"-o", "a.png", "--depth", "64"}, "--depth needs a whole number from 8 to 32"},
        {{"-o", "a.png", "--downsample", "0"}, "--downsample needs a whole number from 1 to 64"},
        {{"-o", "a.png", "--frames", "-2"}, "--frames needs a whole number"},
        {{"-o", "a.png", "--seed", "x"}, "--seed needs a whole number"},
        {{"-o", "a.png", "--size", "0x10"}, "--size needs WIDTHxHEIGHT"},
        {{"-o", "a.png", "--size", "640"}, "--size needs WIDTHxHEIGHT"},
        {{"-o", "a.png", "--size", "64x48x2"}, "--size needs WIDTHxHEIGHT"},
        {{"-o", "a.png", "--size", "40000x10"}, "--size needs WIDTHxHEIGHT"},
        {{"-o", "a.png", "-i", "in.png", "--seed", "3"}, "cannot be used with --input"},
        {{"-o", "a.png", "--frames", "3"}, "needs a run of '#' in the output name"},
        {{"-o", "seq#/a.png", "--frames", "3"}, "needs a run of '#' in the output name"},
    };
    for (const Case& c : cases) {
        const std::string message = Refusal(c.args);
        EXPECT_NE(message.find(c.says), std::string::npos) << "said: " << message << "\nwanted: " << c.says;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

TEST(Options, ControlsTheModeIgnoresAreNoted) {
    const CliOptions simple = Parse({"-o", "a.png", "--sharpen", "5", "--blur-radius", "2", "--amount", "3"});
    ASSERT_EQ(simple.notes.size(), 2u);
    EXPECT_EQ(simple.notes[0], "--blur-radius has no effect with --mode simple");
    EXPECT_EQ(simple.notes[1], "--sharpen has no effect with --mode simple");
    const CliOptions detail = Parse({"-o", "a.png", "--width", "5", "--mode", "detail", "--amount", "3"});
    ASSERT_EQ(detail.notes.size(), 1u);
    EXPECT_EQ(detail.notes[0], "--width has no effect with --mode detail");
}

TEST(Options, FrameNumbersFillTheLastRunOfHashesInTheFileName) {
    EXPECT_EQ(FrameFileName("out_####.png", 7), "out_0007.png");
    EXPECT_EQ(FrameFileName("out_##.png", 12345), "out_12345.png");
    EXPECT_EQ(FrameFileName("a#b###.tif", 42), "a#b042.tif");
    EXPECT_EQ(FrameFileName("take#2/f_#.exr", 3), "take#2/f_3.exr");
    EXPECT_EQ(FrameFileName("take#2/still.exr", 3), "take#2/still.exr");
    EXPECT_EQ(FrameFileName("#", 9), "9");
}

}  // namespace
}  // namespace maculo
