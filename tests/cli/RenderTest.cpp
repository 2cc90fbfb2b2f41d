// maculo-render as users run it: a separate process driving the built
// plug-in, its files compared with the engine's own results.
#include <fcntl.h>
#include <gtest/gtest.h>
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
#include "gpu/GpuState.h"

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
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
    ASSERT_EQ(expected.size(), size_t(written.width) * size_t(written.height));
    const auto* got = reinterpret_cast<const Pixel*>(written.Bytes());
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
    const Outcome detail = Run({"-i", File("deep.tif"), "-o", File("deep-out.tif"), "--mode", "detail", "--blur-radius",
                                "4.5", "--sharp-radius", "2", "--sharpen", "600", "--amount", "2"});
    ASSERT_EQ(detail.exitCode, 0) << detail.err;
    controls = {2, controls.blurMode, controls.grayMode, controls.width, 4.5, 2, 600, 2};
    ExpectFileMatchesEngine<Pixel16>(File("deep-out.tif"), ToFrame(ReadPicture(File("deep.tif")), 16), controls);

    // A GPU render says what rendered it, whether or not the machine has a
    // GPU: what the plug-in's own set-up made of this machine's devices.
    const Outcome gpu = Run({"-o", File("gpu.png"), "--size", "16x16", "--amount", "2", "--gpu"});
    EXPECT_EQ(gpu.exitCode, 0);
    testing::internal::CaptureStdout();
    const GpuState state = CreateGpuState();
    testing::internal::GetCapturedStdout();
    EXPECT_NE(gpu.err.find("note: " + DescribeGpuState(&state) + "\n"), std::string::npos) << gpu.err;

    EXPECT_EQ(Files().size(), 4u);  // nothing but the pictures
}

// A render farm's chunks, each a separate run with its own thread count,
// give the very files of one run, at half resolution as the host's preview
// renders; each frame reads its own input, the last a larger one.
TEST_F(Renderer, ChunksOfASequenceGiveTheFilesOfOneRun) {
    for (int i = 1; i <= 4; ++i)
        WriteFrame(ToFrame(NoisePicture(24 + i / 4 * 6, 16 + i / 4 * 4, i), 8),
                   File("in_" + std::to_string(i) + ".png"));
    const auto render = [&](const std::string& output, std::vector<std::string> extra) {
        std::vector<std::string> args = {
            "-i",  File("in_#.png"), "-o",  File(output),   "--frames", "4",      "--amount",
            "1:7", "--width",        "2:5", "--downsample", "2",        "--quiet"};
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
    PatternControls controls = Defaults();
    for (int32_t frame = 1; frame <= 4; ++frame) {
        const std::string n = std::to_string(frame);
        EXPECT_EQ(bytes("whole_" + n + ".png"), bytes("part_" + n + ".png")) << frame;
        controls.width = 1.0 + frame;
        controls.amount = 2 * frame - 1;
        ExpectFileMatchesEngine<Pixel8>(File("part_" + n + ".png"),
                                        ToFrame(Downsample(ReadPicture(File("in_" + n + ".png")), 2), 8), controls, 2);
    }
    EXPECT_EQ(Files().size(), 12u);
}

// A JPEG cut short (its reader only warns, and would fill the rest), a
// folder where the output should go.
TEST_F(Renderer, MistakesGiveOneClearLineAndLeaveNoFile) {
    WriteFrame(ToFrame(NoisePicture(64, 64, 1), 8), File("cut.jpg"));
    std::filesystem::resize_file(File("cut.jpg"), std::filesystem::file_size(File("cut.jpg")) / 2);
    std::filesystem::create_directory(File("taken.png"));
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
        {{"-i", File("cut.jpg"), "-o", File("a.png")}, 1, "cannot read " + File("cut.jpg") + ": "},
        {{"-o", File("taken.png")}, 1, "cannot write " + File("taken.png") + ": it is a folder"},
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
    EXPECT_EQ(Files(), std::vector<std::string>({"cut.jpg", "taken.png"}));
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
        const Outcome outcome = Run({"-o", File("big.png"), "--size", c.whileWriting ? "1600x1200" : "512x512",
                                     "--amount", c.whileWriting ? "1" : "1000"},
                                    c.signal, ready);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_NE(outcome.err.find(c.says + "; " + File("big.png") + " was not written"), std::string::npos)
            << outcome.err;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
        EXPECT_TRUE(Files().empty());
    }
}

}  // namespace
}  // namespace maculo
