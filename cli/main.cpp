// maculo-render: renders the Maculo Pattern effect outside the host, through
// the plug-in's own binary.
#include <cstdio>
#include <exception>
#include <string>

#include "cli/CliError.h"
#include "cli/ImageFiles.h"
#include "cli/Options.h"
#include "cli/PluginRenderer.h"
#include "cli/Progress.h"
#include "resources/Version.h"

namespace maculo {
namespace {

constexpr char kProgram[] = "maculo-render";

FrameImage SourceFrame(const CliOptions& options) {
    const bool noise = options.input.empty();
    const OIIO::ImageBuf picture =
        noise ? NoisePicture(options.noiseWidth, options.noiseHeight, options.seed) : ReadPicture(options.input);
    const int32_t depth = options.depth != 0 ? options.depth : NaturalDepth(picture);
    return ToFrame(Downsample(picture, options.downsample), depth);
}

void RenderFrames(const CliOptions& options) {
    InstallInterruptHandler();
    // Refuse an unwritable output before the work, not after it.
    CheckWritable(FrameFileName(options.output, 1));
    PluginRenderer renderer(options.plugin.empty() ? DefaultPluginPath() : options.plugin, options.gpu,
                            options.downsample);
    const FrameImage source = SourceFrame(options);

    ProgressBar bar(stderr);
    for (int32_t index = 0; index < options.frames; ++index) {
        const int32_t number = index + 1;
        const std::string name = FrameFileName(options.output, number);
        const auto progress = [&](A_long current, A_long total) -> PF_Err {
            bar.Show(number, options.frames, current, total);
            return Interrupted() ? PF_Interrupt_CANCEL : PF_Err_NONE;
        };
        FrameImage result;
        const PF_Err err =
            renderer.Render(source, ControlsAt(options.controls, index, options.frames), index, progress, result);
        if (Interrupted()) throw CliError(kExitInterrupted, "interrupted; " + name + " was not written");
        if (err != PF_Err_NONE)
            throw Failure("the plug-in could not render frame " + std::to_string(number) + " (host error " +
                          std::to_string(err) + ")");
        bar.Show(number, options.frames, 1, 1);
        WriteFrame(result, name);
    }
}

int Run(int argc, char** argv) {
    const CliOptions options = ParseOptions(argc, argv);
    switch (options.action) {
        case CliOptions::Action::kHelp: std::fputs(HelpText(kProgram).c_str(), stdout); return 0;
        case CliOptions::Action::kVersion: std::printf("%s %s\n", kProgram, kVersionText); return 0;
        case CliOptions::Action::kAbout: {
            std::string about = PluginRenderer(options.plugin.empty() ? DefaultPluginPath() : options.plugin,
                                               false, 1)
                                    .About();
            for (char& c : about)
                if (c == '\r') c = '\n';  // the host's line break
            std::printf("%s\n", about.c_str());
            return 0;
        }
        case CliOptions::Action::kRender: break;
    }
    for (const std::string& note : options.notes) std::fprintf(stderr, "%s: note: %s\n", kProgram, note.c_str());
    RenderFrames(options);
    return 0;
}

}  // namespace
}  // namespace maculo

int main(int argc, char** argv) {
    try {
        return maculo::Run(argc, argv);
    } catch (const maculo::CliError& e) {
        std::fprintf(stderr, "%s: %s\n", maculo::kProgram, e.what());
        return e.ExitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", maculo::kProgram, e.what());
        return maculo::kExitFailure;
    }
}
