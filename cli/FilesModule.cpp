// The renderer's file module: renders frames through the plug-in's own binary,
// reading and writing them through the image libraries.
#include "cli/FilesModule.h"

#include <omp.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/CliError.h"
#include "cli/FrameBudget.h"
#include "cli/FrameFiles.h"
#include "cli/ImageFiles.h"
#include "cli/Messages.h"
#include "cli/PluginRenderer.h"
#include "cli/Progress.h"
#include "cli/SequenceFiles.h"
#include "cli/Signals.h"

namespace maculo {
namespace {

std::string PluginPathOf(const CliOptions& options) {
    return options.plugin.empty() ? DefaultPluginPath() : options.plugin;
}

struct Source {
    std::string name;  // the file, empty for the noise
    FrameImage frame;
    FileTraits traits;
};

// The picture to start from; its size is judged before its pixels are read.
// `note` says which part of the file is read, where it has several.
Source LoadSource(const CliOptions& options, const std::string& name, std::string& note) {
    std::optional<PictureFile> file;
    OIIO::ImageSpec layout(options.noiseWidth, options.noiseHeight, 3, OIIO::TypeDesc::UINT8);
    if (!name.empty()) layout = file.emplace(name, options.layer).Layout();
    const int32_t n = options.downsample;
    const int32_t depth = options.depth != 0 ? options.depth : NaturalDepth(layout.format);
    CheckFrameFits((layout.width + n - 1) / n, (layout.height + n - 1) / n, depth, int64_t(layout.image_bytes()),
                   AvailableMemory());
    OtherChannels others;
    const OIIO::ImageBuf picture = file ? file->Read(&others) : NoisePicture(layout.width, layout.height, options.seed);
    Source source{name, ToFrame(Downsample(picture, n), depth), TraitsOf(picture, n)};
    if (file) {
        note = file->PartNote();
        source.traits.layer = file->Layer();
    }
    if (!others.formats.empty()) source.traits.others = {Downsample(others.pixels, n), others.formats};
    return source;
}

void RenderFrames(const CliOptions& given) {
    InstallStopHandlers(kProgram);
    SetPendingOutput(FrameFileName(given.output, given.first));
    // Refuse missing inputs and an unwritable output before the work, not after it.
    const CliOptions options = WithInputSequence(given);
    CheckFrameFiles(options);
    CheckWritable(FrameFileName(options.output, options.first));
    if (options.threads > 0) omp_set_num_threads(options.threads);  // the plug-in's loops run on this thread
    PluginRenderer renderer(PluginPathOf(options), options.gpu, options.downsample);
    if (options.gpu && !options.quiet) Note(renderer.GpuReport());

    const auto start = std::chrono::steady_clock::now();
    const int32_t count = options.Last() - options.first + 1;
    std::optional<Source> source;
    FrameImage result;  // written over by every frame of its geometry
    {
        ProgressBar bar(options.quiet ? nullptr : stderr);
        for (int32_t number = options.first; number <= options.Last(); ++number) {
            // An input sequence gives each frame its own picture.
            const std::string input = FrameFileName(options.input, number);
            const std::string name = FrameFileName(options.output, number);
            const int32_t position = number - options.first + 1;
            SetPendingOutput(name);
            if (!source || source->name != input) {
                source.reset();  // one picture in memory at a time
                std::string partNote;
                source = LoadSource(options, input, partNote);
                if (position == 1 && !partNote.empty() && !options.quiet) Note(partNote);
            }
            const auto progress = [&](A_long current, A_long total) -> PF_Err {
                bar.Show(position, count, current, total);
                return StopSignal() != 0 ? PF_Interrupt_CANCEL : PF_Err_NONE;
            };
            // Frame `number` takes the same control values and time in any range.
            const int32_t index = number - options.start;
            const PF_Err err = renderer.Render(source->frame, ControlsAt(options.controls, index, options.frames),
                                               index, progress, result);
            if (StopSignal() != 0) throw Stopped(name);
            if (err == PF_Err_OUT_OF_MEMORY)
                throw Failure("out of memory rendering frame " + std::to_string(number) + "; " + kMemoryHint);
            if (err != PF_Err_NONE)
                throw Failure("the plug-in could not render frame " + std::to_string(number) + " (host error " +
                              std::to_string(err) + ")");
            bar.Show(position, count, 1, 1);
            const std::string lost = WriteFrame(result, name, source->traits, options.compression);
            if (position == 1 && !lost.empty() && !options.quiet) {  // the same for every frame
                bar.Clear();
                Note(lost);
            }
        }
    }  // the bar leaves its line before the closing one
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!options.quiet) std::fprintf(stderr, "%s: %s\n", kProgram, Summary(count, seconds).c_str());
}

int Run(const CliOptions& options) {
    // The image library's debug lines (which a debug build or its environment
    // variable turn on) are not the user's business.
    OIIO::attribute("debug", 0);
    if (options.action == CliOptions::Action::kAbout) {
        std::string about = PluginRenderer(PluginPathOf(options), false, 1).About();
        for (char& c : about)
            if (c == '\r') c = '\n';  // the host's line break
        std::printf("%s\n", about.c_str());
        return 0;
    }
    RenderFrames(options);
    return 0;
}

}  // namespace
}  // namespace maculo

int maculo_files_run(const maculo::CliOptions* options) {
    return maculo::ExitCodeOf([&] { return maculo::Run(*options); });
}
