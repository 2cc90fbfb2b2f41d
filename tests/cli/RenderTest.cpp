// maculo-render as users run it: a separate process driving the built
// plug-in, its files compared with the engine's own results.
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>
#include <utility>

#include "engine/ControlSettings.h"
#include "filemodule/FrameWriter.h"
#include "filemodule/Pictures.h"
#include "gpu/GpuState.h"
#include "renderlib/Controls.h"
#include "renderlib/Options.h"
#include "renderlib/TemporaryFiles.h"
#include "tests/cli/ScratchFolder.h"
#include "tests/engine/DirectRender.h"

namespace maculo {
namespace {

// Whether the process has its handler for `signal` in place: a loaded
// machine may take longer to start it than the test waits before signalling.
bool Catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

struct Outcome {
    int exitCode;
    std::string err;
    std::string out;
};

// Process limits a run starts under: each resource's value.
using Limits = std::vector<std::pair<int, rlim_t>>;

// Standard error less the closing line that every run which got as far as
// its frames ends with, --quiet or not (the farm's test reads it).
std::string WithoutClosingLine(const std::string& err) {
    static const std::regex closing("maculo-render: " + MachineName() +
                                    ": rendered [0-9]+ frames?, kept [0-9]+, failed [01] in [0-9.]+ s(, [0-9.]+ s per "
                                    "frame)?\n$");
    return std::regex_replace(err, closing, "");
}

// The error of a run that fails with `exitCode`: one line of the program's
// own before the closing line.
std::string ErrorLine(const Outcome& outcome, int exitCode) {
    const std::string error = WithoutClosingLine(outcome.err);
    EXPECT_EQ(outcome.exitCode, exitCode) << outcome.err;
    EXPECT_EQ(error.find("maculo-render: "), 0u) << outcome.err;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << outcome.err;
    return error;
}

// Polls `done` every millisecond for up to `ms` milliseconds: whether it came true.
bool Within(int ms, const std::function<bool()>& done) {
    for (int i = 0; !done(); ++i) {
        if (i == ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class Renderer : public ScratchFolder {
protected:
    // Runs the program under `limits`; with a `signal`, sends it once `ready`
    // says so, and kills the program should it not end 1.5 s after.
    Outcome Run(std::vector<std::string> args, const Limits& limits = {}, int signal = 0,
                const std::function<bool()>& ready = {}) const {
        args.insert(args.begin(), MACULO_RENDER_PATH);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string errFile = (root_ / "stderr.txt").string(), outFile = (root_ / "stdout.txt").string();
        const pid_t pid = fork();
        if (pid == 0) {
            for (const auto& [resource, value] : limits) {
                const struct rlimit rl { value, value };
                setrlimit(resource, &rl);
            }
            dup2(open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
            dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (pid < 0) return {-1, "cannot start the program", ""};
        int status = 0;
        bool ended = false;
        if (signal != 0) {
            Within(10000, [&] { return signal == SIGKILL || Catches(pid, signal); });
            Within(60000, ready);
            kill(pid, signal);
            ended = Within(1500, [&] { return waitpid(pid, &status, WNOHANG) == pid; });
            if (!ended) kill(pid, SIGKILL);
        }
        if (!ended) waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), FileContent(errFile),
                FileContent(outFile)};
    }
    // Runs the program, which must succeed; its standard error.
    std::string Render(std::vector<std::string> args) const {
        const Outcome outcome = Run(std::move(args));
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        return outcome.err;
    }
    // The built-in picture of `seed` in an 8-bit file.
    void WriteNoise(const std::string& name, int32_t width, int32_t height, int32_t seed) const {
        WriteFrame(ToFrame(NoisePicture(width, height, seed), 8), File(name));
    }
};

// The renderer's file holds what the engine makes of the same frame; alpha
// counts only where the file carries it.
template <typename Pixel>
void ExpectFileMatchesEngine(const std::string& file, const FrameImage& source, const PatternControls& controls,
                             int32_t downsample = 1) {
    const FrameImage written = ToFrame(ReadPicture(file), source.depth);
    ASSERT_EQ(std::make_pair(written.width, written.height), std::make_pair(source.width, source.height));
    const std::vector<Pixel> expected =
        DirectRender(reinterpret_cast<const Pixel*>(source.Bytes()), {source.width, source.height, source.width},
                     source.width, source.height, SettingsFromControls(controls, downsample, false));
    const auto* got = reinterpret_cast<const Pixel*>(written.Bytes());
    for (size_t i = 0; i < expected.size(); ++i) {
        Pixel want = expected[i];
        if (!source.hasAlpha) want.alpha = got[i].alpha;
        ASSERT_EQ(std::memcmp(&got[i], &want, sizeof want), 0) << file << " pixel " << i;
    }
}

// A 6 x 4 OpenEXR file with the given channels, each of the given type
// (default half), every value different.
void WriteLayers(const std::string& file, const std::vector<std::string>& names,
                 std::vector<OIIO::TypeDesc> types = {}) {
    OIIO::ImageSpec layout(6, 4, int(names.size()), OIIO::TypeDesc::DOUBLE);
    layout.channelnames = names;
    types.resize(names.size(), OIIO::TypeDesc::HALF);
    layout.channelformats = types;
    std::vector<double> values(size_t(layout.image_pixels()) * names.size());
    for (size_t i = 0; i < values.size(); ++i)  // integers beyond a float's
        values[i] = types[i % names.size()] == OIIO::TypeDesc::UINT ? 16777217.0 + double(i) : double(i % 23) / 23.0;
    std::unique_ptr<OIIO::ImageOutput> out = OIIO::ImageOutput::create(file);
    ASSERT_TRUE(out->open(file, layout) && out->write_image(OIIO::TypeDesc::DOUBLE, values.data()) && out->close());
}

// A channel's values and its type in the file ("none" without the channel).
std::pair<std::vector<double>, std::string> Channel(const std::string& file, const std::string& name) {
    OIIO::ImageBuf picture(file);
    picture.read(0, 0, true, OIIO::TypeDesc::DOUBLE);
    const int c = picture.spec().channelindex(name);
    std::vector<double> values(c < 0 ? 0 : size_t(picture.spec().image_pixels()));
    if (c >= 0) picture.get_pixels(OIIO::ROI(0, 6, 0, 4, 0, 1, c, c + 1), OIIO::TypeDesc::DOUBLE, values.data());
    return {values, c < 0 ? "none" : OIIO::ImageInput::open(file)->spec().channelformat(c).c_str()};
}

// A copy of an OpenEXR file holding its channels `picks`, renamed `names`.
void WriteRemapped(const std::string& from, const std::string& to, const std::vector<int>& picks,
                   const std::vector<std::string>& names) {
    ASSERT_TRUE(OIIO::ImageBufAlgo::channels(OIIO::ImageBuf(from), int(picks.size()), picks, {}, names)
                    .write(to, OIIO::TypeDesc::HALF));
}

// The controls as the renderer sets them when the command line names none.
PatternControls Defaults() { return PatternControlsOf(ControlsAt(DefaultControls(), 0, 1)); }

TEST_F(Renderer, StillsMatchTheEngineAtEveryDepth) {
    // The built-in noise, 8 bits, default controls but a short run.
    Render({"-o", File("noise.png"), "--size", "40x30", "--seed", "7", "--amount", "3"});
    PatternControls controls = Defaults();
    controls.amount = 3;
    ExpectFileMatchesEngine<Pixel8>(File("noise.png"), ToFrame(NoisePicture(40, 30, 7), 8), controls);

    // A 16-bit picture with alpha through Detail mode.
    FrameImage deep = ToFrame(NoisePicture(33, 21, 3), 16);
    deep.hasAlpha = true;
    WriteFrame(deep, File("deep.tif"));
    Render({"-i", File("deep.tif"), "-o", File("deep-out.tif"), "--mode", "detail", "--blur-radius", "4.5",
            "--sharp-radius", "2", "--sharpen", "600", "--amount", "2"});
    controls = {2, controls.blurMode, controls.grayMode, controls.width, 4.5, 2, 600, 2};
    ExpectFileMatchesEngine<Pixel16>(File("deep-out.tif"), ToFrame(ReadPicture(File("deep.tif")), 16), controls);

    // A GPU render says what rendered it, whether or not the machine has a
    // GPU: what the plug-in's own set-up made of this machine's devices; the
    // lines that set-up prints stay out.
    const Outcome gpu = Run({"-o", File("gpu.png"), "--size", "16x16", "--amount", "2", "--gpu"});
    testing::internal::CaptureStdout();
    const GpuState state = CreateGpuState();
    testing::internal::GetCapturedStdout();
    EXPECT_NE(gpu.err.find("note: " + DescribeGpuState(&state) + "\n"), std::string::npos) << gpu.err;
    EXPECT_EQ(gpu.out, "");
    // Another plug-in's global data is never read as ours.
    const std::string foreign =
        Render({"-o", File("gpu.png"), "--size", "16x16", "--gpu", "--plugin", MACULO_FOREIGN_PLUGIN_PATH});
    EXPECT_NE(foreign.find("note: the device that renders the frames is unknown"), std::string::npos) << foreign;
    EXPECT_EQ(Files().size(), 4u);  // nothing but the pictures
}

// A render farm's chunks of one frame, each a separate run with its own
// thread count, give the very files of one run (which reads, renders and
// writes its frames side by side), in every format that carries a time, at
// half resolution as the host's preview renders; each frame reads its own
// input, the last a larger one. The whole run finds the input frames itself,
// and runs a second earlier than the chunks.
TEST_F(Renderer, ChunksOfASequenceGiveTheFilesOfOneRun) {
    for (int i = 1; i <= 4; ++i) WriteNoise("in_" + std::to_string(i) + ".png", 24 + i / 4 * 6, 16 + i / 4 * 4, i);
    const auto render = [&](const std::string& output, std::vector<std::string> args) {
        args.insert(args.end(), {"-i", File("in_#.png"), "-o", File(output), "--amount", "1:7", "--width", "2:5",
                                 "--downsample", "2", "--quiet"});
        EXPECT_EQ(WithoutClosingLine(Render(args)), "");  // quiet
    };
    const char* formats[] = {".png", ".tif", ".exr"};
    for (const std::string format : formats) render("whole_#" + format, {});
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    for (const std::string format : formats)
        for (const std::string frame : {"1", "2", "3", "4"})
            render("part_#" + format,
                   {"--frames", "4", "--range", frame + ":" + frame, "--threads", frame == "2" ? "2" : "1"});
    PatternControls controls = Defaults();
    for (int32_t frame = 1; frame <= 4; ++frame) {
        const std::string n = std::to_string(frame);
        for (const std::string format : formats)
            EXPECT_EQ(FileContent(File("whole_" + n + format)), FileContent(File("part_" + n + format))) << n << format;
        controls.width = 1.0 + frame;
        controls.amount = 2 * frame - 1;
        ExpectFileMatchesEngine<Pixel8>(File("part_" + n + ".png"),
                                        ToFrame(Downsample(ReadPicture(File("in_" + n + ".png")), 2), 8), controls, 2);
    }
    EXPECT_EQ(Files().size(), 28u);
}

// Without --frames an input sequence renders the frames there are, numbered
// as its files are, and a gap is an error before any frame renders.
TEST_F(Renderer, InputSequencesRenderTheFramesTheyHave) {
    for (const int i : {8, 9, 11}) WriteNoise(FrameFileName("in_##.png", i), 6, 4, i);
    const Outcome gap = Run({"-i", File("in_##.png"), "-o", File("out_##.png")});
    EXPECT_NE(gap.err.find("cannot read " + File("in_10.png") + ": No such file"), std::string::npos) << gap.err;
    EXPECT_EQ(Files().size(), 3u);
    std::filesystem::rename(File("in_11.png"), File("in_10.png"));
    const Outcome outcome = Run({"-i", File("in_##.png"), "-o", File("out_##.png"), "--amount", "2:4", "-q"});
    EXPECT_EQ(std::make_pair(gap.exitCode, outcome.exitCode), std::make_pair(1, 0)) << outcome.err;
    PatternControls controls = Defaults();
    controls.amount = 4;
    ExpectFileMatchesEngine<Pixel8>(File("out_10.png"), ToFrame(ReadPicture(File("in_10.png")), 8), controls);
    EXPECT_EQ(Files(), std::vector<std::string>(
                           {"in_08.png", "in_09.png", "in_10.png", "out_08.png", "out_09.png", "out_10.png"}));
}

// A sequence fails as one rendered a frame at a time would, though the next
// picture is read and the last frame written while a frame renders: the
// frames before the failure are written, none after it, and of two failures
// the earlier frame's is reported (here the write of frame 2, though the
// picture of frame 3 fails to read meanwhile).
TEST_F(Renderer, ASequenceFailsAtTheFrameThatFails) {
    for (int i = 1; i <= 4; ++i) WriteNoise("in_" + std::to_string(i) + ".png", 6, 4, i);
    std::ofstream(File("in_3.png")) << "not a picture";
    std::filesystem::create_directory(File("taken_2.png"));
    EXPECT_EQ(ErrorLine(Run({"-i", File("in_#.png"), "-o", File("read_#.png")}), 1)
                  .rfind("maculo-render: cannot read " + File("in_3.png"), 0),
              0u);
    const Outcome written = Run({"-i", File("in_#.png"), "-o", File("taken_#.png")});
    EXPECT_EQ(WithoutClosingLine(written.err),
              "maculo-render: cannot write " + File("taken_2.png") + ": it is a folder\n");
    EXPECT_EQ(Files(), std::vector<std::string>({"in_1.png", "in_2.png", "in_3.png", "in_4.png", "read_1.png",
                                                 "read_2.png", "taken_1.png", "taken_2.png"}));
}

// A JPEG cut short (its reader only warns, and would fill the rest), an
// output that is the input under another name, a profile PNG cannot hold, an
// OpenEXR file whose picture is in layers, a frame too large for the host or
// for the process's own memory limit (which the sanitizers' reserved memory
// would exceed at once).
TEST_F(Renderer, MistakesGiveOneClearLineAndLeaveNoFile) {
    WriteNoise("cut.jpg", 64, 64, 1);
    std::filesystem::resize_file(File("cut.jpg"), std::filesystem::file_size(File("cut.jpg")) / 2);
    WriteNoise("photo.png", 4, 4, 1);
    std::filesystem::create_symlink("photo.png", File("same.png"));
    WriteLayers(File("layers.exr"), {"diffuse.R", "diffuse.G", "diffuse.B", "spec.R", "spec.G", "spec.B"});
    OIIO::ImageBuf profiled = NoisePicture(8, 8, 1);  // with an ICC profile that is no profile at all
    const std::vector<uint8_t> profile(64, 7);
    profiled.specmod().attribute("ICCProfile", OIIO::TypeDesc(OIIO::TypeDesc::UINT8, 64), profile.data());
    ASSERT_TRUE(profiled.write(File("profiled.tif")));
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
        Limits limits = {};
    };
    std::vector<Case> cases = {
        {{"-o", File("a.png"), "--shine"}, 2, "unknown option '--shine'"},
        {{"-o", File("none/a.png")}, 1, "cannot write " + File("none/a.png")},
        {{"-o", File("a.notaformat")}, 1, "cannot write " + File("a.notaformat")},
        {{"-o", File("a.png"), "--plugin", File("nothing.so")},
         1,
         "cannot load the plug-in " + File("nothing.so") + ": cannot open shared object file"},
        {{"-i", File("cut.jpg"), "-o", File("a.png")}, 1, "cannot read " + File("cut.jpg") + ": "},
        // libpng refuses the profile, and would say so on its own lines too.
        {{"-i", File("profiled.tif"), "-o", File("a.png")}, 1, "cannot write " + File("a.png") + ": PNG write error"},
        {{"-i", File("photo.png"), "-o", File("same.png")}, 2, "the output " + File("same.png") + " is an input file"},
        {{"-i", File("layers.exr"), "-o", File("a.png")},
         1,
         "no R,G,B or Y channels in its unnamed layer; its layers: diffuse, spec (pick one with --layer)"},
        // Refused at once, not after minutes of work.
        {{"-o", File("a.png"), "--size", "12000x12000"}, 1, "a 12000x12000 frame needs"},
    };
#if !defined(__SANITIZE_ADDRESS__)
    cases.push_back({{"-o", File("a.png"), "--size", "8000x8000"},
                     1,
                     "is available under the process's address-space limit (ulimit -v)",
                     {{RLIMIT_AS, rlim_t{3} << 30}}});
#endif
    for (const Case& c : cases) {
        const std::string error = ErrorLine(Run(c.args, c.limits), c.exitCode);
        EXPECT_NE(error.find(c.says), std::string::npos) << error << "wanted: " << c.says;
    }
    EXPECT_EQ(Files(), std::vector<std::string>({"cut.jpg", "layers.exr", "photo.png", "profiled.tif", "same.png"}));
    EXPECT_EQ(ReadPicture(File("photo.png")).spec().width, 4);
}

// A file-size limit fails every write as a full disk does: exit 1, one line,
// the old file kept and no temporary file left, in every format (each
// writer goes its own way to the file), those whose writers would report
// success for a file cut short included.
TEST_F(Renderer, FailedWritesKeepTheOldFile) {
    const std::vector<std::string> formats = {"png", "jpg", "tif", "exr", "dpx", "bmp", "tga", "hdr", "sgi", "fits"};
    for (const std::string& format : formats) {
        SCOPED_TRACE(format);
        const std::string name = File("keep." + format);
        Render({"-o", name, "--size", "8x8", "--amount", "1", "-q"});
        const std::string old = FileContent(name);
        const Outcome large = Run({"-o", name, "--size", "300x200", "--amount", "1", "-q"}, {{RLIMIT_FSIZE, 8192}});
        EXPECT_EQ(ErrorLine(large, 1).rfind("maculo-render: cannot write " + name + ": ", 0), 0u) << large.err;
        EXPECT_TRUE(!old.empty() && FileContent(name) == old);
    }
    EXPECT_EQ(Files().size(), formats.size());  // no temporary file
}

// Ctrl-C while a frame renders, SIGHUP while the program waits to open a
// named pipe nobody writes to (only the watchdog can end it there), SIGTERM
// while a frame of a sequence is written as the next renders: the program
// ends at once, naming the file not written, and leaves no file of it. Of the
// sequence, the frames before it are written (it is the first, unless a
// loaded machine signals late), none after it.
TEST_F(Renderer, SignalsStopTheRenderAndWriteNothing) {
    struct Case {
        int signal;
        std::string says;
        std::vector<std::string> args;
    };
    const std::string pipe = (root_ / "pipe.png").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const Case& c : {Case{SIGINT, "interrupted", {"-o", File("big.png"), "--size", "512x512", "--amount", "1000"}},
                          Case{SIGHUP, "hung up", {"-i", pipe, "-o", File("big.png")}},
                          Case{SIGTERM,
                               "terminated",
                               {"-o", File("big_#.png"), "--frames", "3", "--size", "1600x1200", "--amount", "40"}}}) {
        const bool sequence = c.signal == SIGTERM;
        const auto start = std::chrono::steady_clock::now();
        const Outcome outcome = Run(c.args, {}, c.signal, [&] {
            if (!sequence) return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(500);
            const std::vector<std::string> files = Files();
            return !files.empty() && files[0].starts_with(".big");
        });
        std::vector<std::string> written;
        while (sequence && std::filesystem::exists(File("big_" + std::to_string(written.size() + 1) + ".png")))
            written.push_back("big_" + std::to_string(written.size() + 1) + ".png");
        const std::string output = sequence ? "big_" + std::to_string(written.size() + 1) + ".png" : "big.png";
        EXPECT_EQ(outcome.exitCode, 128 + c.signal) << outcome.err;
        EXPECT_NE(outcome.err.find(c.says + "; " + File(output) + " was not written"), std::string::npos)
            << outcome.err;
        EXPECT_EQ(Files(), written);
    }
}

// The picture of an OpenEXR file is found by its channels' names: in the
// unnamed layer or the one --layer names; gray or colour, with its alpha.
// The channels the effect does not use reach an OpenEXR output unchanged,
// names and types included (32-bit integers too); other formats say they
// leave them out (a PNG keeps 16 bits of a float frame).
TEST_F(Renderer, OpenExrChannelsGoWhereTheyBelong) {
    WriteLayers(File("layers.exr"), {"diffuse.R", "diffuse.G", "diffuse.B", "spec.R", "spec.G", "spec.B"});
    WriteRemapped(File("layers.exr"), File("plain.exr"), {0, 1, 2}, {"R", "G", "B"});
    WriteLayers(File("deep.exr"), {"R", "G", "B", "A", "Z", "N"},
                {OIIO::TypeDesc::HALF, OIIO::TypeDesc::HALF, OIIO::TypeDesc::HALF, OIIO::TypeDesc::HALF,
                 OIIO::TypeDesc::FLOAT, OIIO::TypeDesc::UINT});
    const auto render = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--amount", "2", "--width", "2"});
        return Render(args);
    };
    render({"-i", File("layers.exr"), "--layer", "diffuse", "-o", File("layers-out.exr"), "-q"});
    render({"-i", File("plain.exr"), "-o", File("plain-out.exr"), "-q"});
    for (const char* c : {"R", "G", "B"})
        EXPECT_EQ(Channel(File("layers-out.exr"), std::string("diffuse.") + c).first,
                  Channel(File("plain-out.exr"), c).first)
            << c;
    EXPECT_NE(Channel(File("layers-out.exr"), "diffuse.R").first, Channel(File("layers.exr"), "diffuse.R").first);
    for (const char* c : {"spec.R", "spec.G", "spec.B"})
        EXPECT_EQ(Channel(File("layers-out.exr"), c), Channel(File("layers.exr"), c)) << c;

    render({"-i", File("deep.exr"), "-o", File("deep-out.exr"), "-q"});
    for (const char* c : {"Z", "N"}) EXPECT_EQ(Channel(File("deep-out.exr"), c), Channel(File("deep.exr"), c)) << c;
    EXPECT_EQ(Channel(File("deep-out.exr"), "A").first.size(), 24u);
    const std::string png = render({"-i", File("deep.exr"), "-o", File("deep.png")});
    EXPECT_NE(png.find("deep.png holds 16-bit channels, not the frame's floats, and only the picture's channels; Z, "
                       "N are left out\n"),
              std::string::npos)
        << png;

    // A gray picture's alpha is part of the picture: Y,A renders as the
    // colour picture R=G=B=Y with that alpha does.
    WriteLayers(File("gray.exr"), {"Y", "A"});
    WriteRemapped(File("gray.exr"), File("colour.exr"), {0, 0, 0, 1}, {"R", "G", "B", "A"});
    render({"-i", File("gray.exr"), "-o", File("gray-out.exr"), "-q"});
    render({"-i", File("colour.exr"), "-o", File("colour-out.exr"), "-q"});
    EXPECT_EQ(Channel(File("gray-out.exr"), "Y").first, Channel(File("colour-out.exr"), "R").first);
    EXPECT_EQ(Channel(File("gray-out.exr"), "A"), Channel(File("colour-out.exr"), "A"));
    EXPECT_NE(Channel(File("gray-out.exr"), "A").first, Channel(File("gray.exr"), "A").first);
}

// A chunk killed outright (SIGKILL: a scheduler's last word, a lost machine)
// leaves the temporary file of the frame it was writing; run again with
// --skip-existing it removes that file and ends with the frames one whole
// run gives. (What a rerun keeps and says is the farm's test's matter.)
TEST_F(Renderer, AChunkRunAgainCleansUpAfterAKilledOne) {
    const auto args = [&](const std::string& output) {
        return std::vector<std::string>{"-o",       File(output), "--frames",        "4",      "--size", "1600x1200",
                                        "--amount", "1:2",        "--skip-existing", "--quiet"};
    };
    Render(args("whole_#.png"));
    const auto writingFrame2 = [&] {
        const std::vector<std::string> files = Files();
        return std::any_of(files.begin(), files.end(), [](const std::string& f) { return f.starts_with(".f_2.png."); });
    };
    EXPECT_EQ(Run(args("f_#.png"), {}, SIGKILL, writingFrame2).exitCode, 128 + SIGKILL);
    EXPECT_TRUE(writingFrame2());
    Render(args("f_#.png"));
    for (const std::string n : {"1", "2", "3", "4"})
        EXPECT_EQ(FileContent(File("f_" + n + ".png")), FileContent(File("whole_" + n + ".png"))) << n;
    EXPECT_EQ(Files().size(), 8u);  // no temporary file
}

}  // namespace
}  // namespace maculo
