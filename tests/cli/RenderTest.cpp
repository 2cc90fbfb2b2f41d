// maculo-render as users run it: a separate process driving the built
// plug-in, its files compared with the engine's own results.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/Controls.h"
#include "cli/ImageFiles.h"
#include "engine/ControlSettings.h"
#include "engine/DirectRender.h"
#include "minihost/EffectSession.h"

extern char** environ;

namespace maculo {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode;
    std::string err;
};

class Renderer : public testing::Test {
protected:
    void SetUp() override {
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        root_ = fs::temp_directory_path() / ("maculo-render-" + std::to_string(getpid()) + "-" + name);
        fs::remove_all(root_);
        fs::create_directories(root_ / "work");
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string File(const std::string& name) const { return (root_ / "work" / name).string(); }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(root_ / "work")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Runs the program; with `interruptAfter`, sends it Ctrl-C's signal then.
    Outcome Run(std::vector<std::string> args,
                std::chrono::milliseconds interruptAfter = std::chrono::milliseconds(-1)) const {
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
        if (interruptAfter.count() >= 0) {
            std::this_thread::sleep_for(interruptAfter);
            kill(pid, SIGINT);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        std::stringstream err;
        err << std::ifstream(errFile).rdbuf();
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), err.str()};
    }

    fs::path root_;
};

template <typename Pixel>
const Pixel* PixelsOf(const FrameImage& frame) {
    return reinterpret_cast<const Pixel*>(frame.Bytes());
}

// The renderer's file holds what the engine makes of the same frame; alpha
// counts only where the file carries it.
template <typename Pixel>
void ExpectFileMatchesEngine(const std::string& file, const FrameImage& source, const PatternSettings& settings) {
    const FrameImage written = ToFrame(ReadPicture(file), source.depth);
    ASSERT_EQ(written.width, source.width);
    ASSERT_EQ(written.height, source.height);
    const std::vector<Pixel> expected = DirectRender(
        PixelsOf<Pixel>(source), {source.width, source.height, source.width}, source.width, source.height, settings);
    ASSERT_EQ(expected.size(), size_t(written.width) * size_t(written.height));
    const Pixel* got = PixelsOf<Pixel>(written);
    for (size_t i = 0; i < expected.size(); ++i) {
        Pixel want = expected[i];
        if (!source.hasAlpha) want.alpha = got[i].alpha;
        ASSERT_EQ(std::memcmp(&got[i], &want, sizeof want), 0) << file << " pixel " << i;
    }
}

PatternControls Controls(int32_t mode, int32_t blur, int32_t gray, double width, double blurRadius,
                         double sharpRadius, double sharpen, int32_t amount) {
    return {mode, blur, gray, width, blurRadius, sharpRadius, sharpen, amount};
}

TEST_F(Renderer, StillsMatchTheEngineAtEveryDepth) {
    // The built-in noise, 8 bits, default controls but a short run.
    ASSERT_EQ(Run({"-o", File("noise.png"), "--size", "40x30", "--seed", "7", "--amount", "3"}).exitCode, 0);
    ExpectFileMatchesEngine<Pixel8>(File("noise.png"), ToFrame(NoisePicture(40, 30, 7), 8),
                                    SettingsFromControls(Controls(1, 2, 2, 6, 6, 6, 1000, 3), 1, false));

    // A 16-bit picture with alpha through Detail mode; a float one through box blur.
    FrameImage deep = ToFrame(NoisePicture(33, 21, 3), 16);
    deep.hasAlpha = true;
    WriteFrame(deep, File("deep.tif"));
    const Outcome detail = Run({"-i", File("deep.tif"), "-o", File("deep-out.tif"), "--mode", "detail",
                                "--blur-radius", "4.5", "--sharp-radius", "2", "--sharpen", "600", "--amount", "2"});
    ASSERT_EQ(detail.exitCode, 0) << detail.err;
    ExpectFileMatchesEngine<Pixel16>(File("deep-out.tif"), ToFrame(ReadPicture(File("deep.tif")), 16),
                                     SettingsFromControls(Controls(2, 2, 2, 6, 4.5, 2, 600, 2), 1, false));

    WriteFrame(ToFrame(NoisePicture(19, 25, 4), 32), File("float.exr"));
    ASSERT_EQ(Run({"-i", File("float.exr"), "-o", File("float-out.exr"), "--blur", "box", "--gray", "after",
                   "--width", "3", "--amount", "2"})
                  .exitCode,
              0);
    ExpectFileMatchesEngine<PixelF>(File("float-out.exr"), ToFrame(ReadPicture(File("float.exr")), 32),
                                    SettingsFromControls(Controls(1, 1, 3, 3, 6, 6, 1000, 2), 1, false));

    // Half resolution, as the host's preview renders it.
    ASSERT_EQ(Run({"-o", File("half.png"), "--size", "40x30", "--amount", "2", "--downsample", "2"}).exitCode, 0);
    ExpectFileMatchesEngine<Pixel8>(File("half.png"), ToFrame(Downsample(NoisePicture(40, 30, 1), 2), 8),
                                    SettingsFromControls(Controls(1, 2, 2, 6, 6, 6, 1000, 2), 2, false));
    EXPECT_EQ(Files().size(), 6u);  // nothing but the pictures
}

TEST_F(Renderer, SequencesAnimateControlsFrameByFrame) {
    const Outcome sequence =
        Run({"-o", File("seq_##.png"), "--frames", "3", "--amount", "1:5", "--size", "24x16", "--width", "2:4"});
    ASSERT_EQ(sequence.exitCode, 0) << sequence.err;
    EXPECT_EQ(Files(), std::vector<std::string>({"seq_01.png", "seq_02.png", "seq_03.png"}));
    const FrameImage source = ToFrame(NoisePicture(24, 16, 1), 8);
    ExpectFileMatchesEngine<Pixel8>(File("seq_01.png"), source,
                                    SettingsFromControls(Controls(1, 2, 2, 2, 6, 6, 1000, 1), 1, false));
    ExpectFileMatchesEngine<Pixel8>(File("seq_02.png"), source,
                                    SettingsFromControls(Controls(1, 2, 2, 3, 6, 6, 1000, 3), 1, false));
    ExpectFileMatchesEngine<Pixel8>(File("seq_03.png"), source,
                                    SettingsFromControls(Controls(1, 2, 2, 4, 6, 6, 1000, 5), 1, false));
}

TEST_F(Renderer, MistakesGiveOneClearLineAndLeaveNoFile) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    };
    const Case cases[] = {
        {{"-o", File("a.png"), "--shine"}, 2, "unknown option '--shine'"},
        {{"-o", File("a.png"), "--amount", "0"}, 2, "--amount must lie from 1 to 1000"},
        {{"-i", File("missing.png"), "-o", File("a.png")}, 1, "cannot read " + File("missing.png")},
        {{"-o", File("none/a.png")}, 1, "cannot write " + File("none/a.png")},
        {{"-o", File("a.notaformat")}, 1, "cannot write " + File("a.notaformat")},
        {{"-o", File("a.png"), "--plugin", File("nothing.so")}, 1, "cannot load the plug-in"},
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

TEST_F(Renderer, CtrlCStopsTheRenderAndWritesNothing) {
    // Far more work than the time allowed before the signal.
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome =
        Run({"-o", File("big.png"), "--size", "512x512", "--amount", "1000"}, std::chrono::milliseconds(1500));
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(outcome.exitCode, 130) << outcome.err;
    EXPECT_NE(outcome.err.find("interrupted; " + File("big.png") + " was not written"), std::string::npos)
        << outcome.err;
    EXPECT_LT(seconds, 30.0);
    EXPECT_TRUE(Files().empty());
}

TEST(RendererControls, MatchTheParametersThePluginDeclares) {
    // Never unloaded, as in a host.
    minihost::EffectSession& session = *new minihost::EffectSession(MACULO_PLUGIN_PATH);
    const std::vector<minihost::AddedParam> added = session.GetHost().Params().Added();
    auto declared = [&](int32_t param) -> const PF_ParamDef& { return added.at(size_t(param - 1)).def; };
    for (const NumericControl& c : kNumericControls) {
        const PF_ParamDef& def = declared(c.param);
        SCOPED_TRACE(c.option);
        if (c.whole) {
            ASSERT_EQ(def.param_type, PF_Param_SLIDER);
            EXPECT_EQ(def.u.sd.valid_min, c.min);
            EXPECT_EQ(def.u.sd.valid_max, c.max);
            EXPECT_EQ(def.u.sd.dephault, c.dephault);
        } else {
            ASSERT_EQ(def.param_type, PF_Param_FLOAT_SLIDER);
            EXPECT_EQ(def.u.fs_d.valid_min, c.min);
            EXPECT_EQ(def.u.fs_d.valid_max, c.max);
            EXPECT_EQ(def.u.fs_d.dephault, c.dephault);
        }
    }
    for (const ChoiceControl& c : kChoiceControls) {
        SCOPED_TRACE(c.option);
        const minihost::AddedParam& p = added.at(size_t(c.param - 1));
        ASSERT_EQ(p.def.param_type, PF_Param_POPUP);
        EXPECT_EQ(p.def.u.pd.dephault, c.dephault);
        std::string names;
        for (const std::string_view choice : c.choices)
            if (!choice.empty()) names += (names.empty() ? "" : " | ") + std::string(choice);
        std::string declaredNames = p.choices;
        for (char& ch : declaredNames) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(declaredNames, names);
    }
}

}  // namespace
}  // namespace maculo
