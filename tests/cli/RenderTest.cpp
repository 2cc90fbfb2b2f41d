// maculo-render as users run it: a separate process driving the built
// plug-in, its files compared with the engine's own results.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <utility>

#include "ScratchFolder.h"
#include "cli/Controls.h"
#include "cli/FrameFiles.h"
#include "cli/ImageFiles.h"
#include "engine/ControlSettings.h"
#include "engine/DirectRender.h"

extern char** environ;

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
};

class Renderer : public ScratchFolder {
protected:
    // Runs the program; with a `signal`, sends it once `ready` says so.
    Outcome Run(std::vector<std::string> args, int signal = 0, const std::function<bool()>& ready = {}) const {
        args.insert(args.begin(), MACULO_RENDER_PATH);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string errFile = (root_ / "stderr.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return {-1, "cannot start the program"};
        if (signal != 0) {
            for (int i = 0; i < 1000 && !Catches(pid, signal); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (int i = 0; i < 60000 && !ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            kill(pid, signal);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        std::stringstream err;
        err << std::ifstream(errFile).rdbuf();
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), err.str()};
    }
};

template <typename Pixel>
const Pixel* PixelsOf(const FrameImage& frame) {
    return reinterpret_cast<const Pixel*>(frame.Bytes());
}

// The renderer's file holds what the engine makes of the same frame; alpha
// counts only where the file carries it.
template <typename Pixel>
void ExpectFileMatchesEngine(const std::string& file, const FrameImage& source, const PatternControls& controls,
                             int32_t downsample = 1) {
    const FrameImage written = ToFrame(ReadPicture(file), source.depth);
    ASSERT_EQ(std::make_pair(written.width, written.height), std::make_pair(source.width, source.height));
    const std::vector<Pixel> expected =
        DirectRender(PixelsOf<Pixel>(source), {source.width, source.height, source.width}, source.width,
                     source.height, SettingsFromControls(controls, downsample, false));
    ASSERT_EQ(expected.size(), size_t(written.width) * size_t(written.height));
    const Pixel* got = PixelsOf<Pixel>(written);
    for (size_t i = 0; i < expected.size(); ++i) {
        Pixel want = expected[i];
        if (!source.hasAlpha) want.alpha = got[i].alpha;
        ASSERT_EQ(std::memcmp(&got[i], &want, sizeof want), 0) << file << " pixel " << i;
    }
}

// The controls as the renderer sets them when the command line names none.
PatternControls Defaults() { return PatternControlsOf(ControlsAt(DefaultControls(), 0, 1)); }

TEST_F(Renderer, StillsMatchTheEngineAtEveryDepth) {
    // The built-in noise, 8 bits, default controls but a short run.
    ASSERT_EQ(Run({"-o", File("noise.png"), "--size", "40x30", "--seed", "7", "--amount", "3"}).exitCode, 0);
    PatternControls controls = Defaults();
    controls.amount = 3;
    ExpectFileMatchesEngine<Pixel8>(File("noise.png"), ToFrame(NoisePicture(40, 30, 7), 8), controls);

    // A 16-bit picture with alpha through Detail mode.
    FrameImage deep = ToFrame(NoisePicture(33, 21, 3), 16);
    deep.hasAlpha = true;
    WriteFrame(deep, File("deep.tif"));
    const Outcome detail = Run({"-i", File("deep.tif"), "-o", File("deep-out.tif"), "--mode", "detail",
                                "--blur-radius", "4.5", "--sharp-radius", "2", "--sharpen", "600", "--amount", "2"});
    ASSERT_EQ(detail.exitCode, 0) << detail.err;
    controls = {2, controls.blurMode, controls.grayMode, controls.width, 4.5, 2, 600, 2};
    ExpectFileMatchesEngine<Pixel16>(File("deep-out.tif"), ToFrame(ReadPicture(File("deep.tif")), 16), controls);

    // A GPU render says what rendered it, whether or not the machine has a GPU.
    const Outcome gpu = Run({"-o", File("gpu.png"), "--size", "16x16", "--amount", "2", "--gpu"});
    EXPECT_EQ(gpu.exitCode, 0);
    EXPECT_NE(gpu.err.find("OpenCL"), std::string::npos) << gpu.err;
    EXPECT_NE(gpu.err.find("renders the frames\n"), std::string::npos) << gpu.err;

    EXPECT_EQ(Files().size(), 4u);  // nothing but the pictures
}

// At half resolution, as the host's preview renders.
TEST_F(Renderer, SequencesAnimateControlsFrameByFrame) {
    const Outcome sequence = Run({"-o", File("seq_##.png"), "--frames", "3", "--amount", "1:5", "--size", "48x32",
                                  "--width", "2:4", "--downsample", "2"});
    ASSERT_EQ(sequence.exitCode, 0) << sequence.err;
    EXPECT_EQ(Files(), std::vector<std::string>({"seq_01.png", "seq_02.png", "seq_03.png"}));
    const FrameImage source = ToFrame(Downsample(NoisePicture(48, 32, 1), 2), 8);
    PatternControls controls = Defaults();
    for (int32_t frame = 1; frame <= 3; ++frame) {
        controls.width = 1.0 + frame;
        controls.amount = 2 * frame - 1;
        ExpectFileMatchesEngine<Pixel8>(File("seq_0" + std::to_string(frame) + ".png"), source, controls, 2);
    }
}

// A render farm's chunks, each a separate run with its own thread count,
// give the very files of one run; each frame reads its own input.
TEST_F(Renderer, ChunksOfASequenceGiveTheFilesOfOneRun) {
    // The last picture is larger than the others.
    for (int i = 1; i <= 4; ++i)
        WriteFrame(ToFrame(NoisePicture(24 + i / 4 * 6, 16 + i / 4 * 4, i), 8),
                   File("in_" + std::to_string(i) + ".png"));
    const auto render = [&](const std::string& output, std::vector<std::string> extra) {
        std::vector<std::string> args = {"-i", File("in_#.png"), "-o", File(output), "--frames", "4", "--amount",
                                         "1:7", "--width", "2:5", "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");  // quiet
    };
    render("whole_#.png", {});
    render("part_#.png", {"--range", "1:2", "--threads", "1"});
    render("part_#.png", {"--range", "3:4", "--threads", "2"});
    const auto bytes = [&](const std::string& name) {
        std::stringstream content;
        content << std::ifstream(File(name), std::ios::binary).rdbuf();
        return content.str();
    };
    for (const char* frame : {"1", "2", "3", "4"})
        EXPECT_EQ(bytes("whole_" + std::string(frame) + ".png"), bytes("part_" + std::string(frame) + ".png")) << frame;
    // Frame 3: Width 4 and Amount 5, from the third picture; frame 4 ends the ramps.
    ExpectFileMatchesEngine<Pixel8>(File("part_3.png"), ToFrame(ReadPicture(File("in_3.png")), 8),
                                    {1, 2, 2, 4, 6, 6, 1000, 5});
    ExpectFileMatchesEngine<Pixel8>(File("part_4.png"), ToFrame(ReadPicture(File("in_4.png")), 8),
                                    {1, 2, 2, 5, 6, 6, 1000, 7});
    EXPECT_EQ(Files().size(), 12u);
}

TEST_F(Renderer, MistakesGiveOneClearLineAndLeaveNoFile) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    };
    const Case cases[] = {
        {{"-o", File("a.png"), "--shine"}, 2, "unknown option '--shine'"},
        {{"-i", File("missing.png"), "-o", File("a.png")}, 1, "cannot read " + File("missing.png")},
        {{"-o", File("none/a.png")}, 1, "cannot write " + File("none/a.png")},
        {{"-o", File("a.notaformat")}, 1, "cannot write " + File("a.notaformat")},
        {{"-o", File("a.png"), "--plugin", File("nothing.so")}, 1, "cannot load the plug-in"},
        {{"-i", File("."), "-o", File("a.png")}, 1, "cannot read " + File(".") + ": it is a folder"},
        // Refused at once, not after minutes of work.
        {{"-o", File("a.png"), "--size", "12000x12000", "--depth", "32"}, 1, "a 12000x12000 frame needs"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_EQ(outcome.err.find("maculo-render: "), 0u) << outcome.err;
        EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    }
    EXPECT_TRUE(Files().empty());
}

TEST_F(Renderer, SignalsStopTheRenderAndWriteNothing) {
    struct Case {
        int signal;
        int exitCode;
        std::string says;
        bool whileWriting;  // else while rendering
    };
    for (const Case& c : {Case{SIGINT, 130, "interrupted", false}, Case{SIGHUP, 129, "hung up", false},
                          Case{SIGTERM, 143, "terminated", true}}) {
        // Far more work than the time allowed before the signal, or a large
        // file that takes a while to write.
        const auto start = std::chrono::steady_clock::now();
        const auto ready = [&] {
            if (!c.whileWriting) return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(500);
            const std::vector<std::string> files = Files();
            return !files.empty() && files[0].starts_with(".big.png.");
        };
        const Outcome outcome =
            Run({"-o", File("big.png"), "--size", c.whileWriting ? "1600x1200" : "512x512", "--amount",
                 c.whileWriting ? "1" : "1000"},
                c.signal, ready);
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_NE(outcome.err.find(c.says + "; " + File("big.png") + " was not written"), std::string::npos)
            << outcome.err;
        EXPECT_LT(seconds, 30.0);
        EXPECT_TRUE(Files().empty());
    }
}

}  // namespace
}  // namespace maculo
