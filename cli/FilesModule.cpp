// The renderer's file module: renders frames through the plug-in's own binary,
// reading and writing them through the image libraries.
#include "cli/FilesModule.h"

#include <omp.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliError.h"
#include "cli/FrameBudget.h"
#include "cli/FrameFiles.h"
#include "cli/ImageFiles.h"
#include "cli/Messages.h"
#include "cli/PluginRenderer.h"
#include "cli/Progress.h"
#include "cli/QuietStream.h"
#include "cli/SequenceFiles.h"
#include "cli/Signals.h"
#include "cli/Stage.h"

namespace maculo {
namespace {

std::string PluginPathOf(const CliOptions& options) {
    return options.plugin.empty() ? DefaultPluginPath() : options.plugin;
}

struct Source {
    std::string name;  // the file, empty for the noise
    FrameImage frame;
    // Shared with the writes of its frames, which may end after it is gone.
    std::shared_ptr<const FileTraits> traits;
    std::string partNote;  // which part of the file is read, where it has several
};

// The picture to start from; its size is judged before its pixels are read.
Source LoadSource(const CliOptions& options, const std::string& name) {
    std::optional<PictureFile> file;
    OIIO::ImageSpec layout(options.noiseWidth, options.noiseHeight, 3, OIIO::TypeDesc::UINT8);
    if (!name.empty()) layout = file.emplace(name, options.layer).Layout();
    const int32_t n = options.downsample;
    const int32_t depth = options.depth != 0 ? options.depth : NaturalDepth(layout.format);
    CheckFrameFits((layout.width + n - 1) / n, (layout.height + n - 1) / n, depth, int64_t(layout.image_bytes()),
                   AvailableMemory());
    OtherChannels others;
    const OIIO::ImageBuf picture = file ? file->Read(&others) : NoisePicture(layout.width, layout.height, options.seed);
    FileTraits traits = TraitsOf(picture, n);
    if (file) traits.layer = file->Layer();
    if (!others.formats.empty()) traits.others = {Downsample(others.pixels, n), others.formats};
    return {name, ToFrame(n > 1 ? Downsample(picture, n) : picture, depth), std::make_shared<const FileTraits>(std::move(traits)),
            file ? file->PartNote() : ""};
}

// A rendered frame on its way to its file.
struct FrameToWrite {
    const FrameImage* frame;
    std::string name;
    std::shared_ptr<const FileTraits> traits;
    std::string next;  // the frame after it, or "" for the last
};

void RenderFrames(const CliOptions& given) {
    InstallStopHandlers(kProgram);
    SetPendingOutput(FrameFileName(given.output, given.first));
    // Refuse missing inputs and an unwritable output before the work, not after it.
    const CliOptions options = WithInputSequence(given);
    CheckFrameFiles(options);
    CheckWritable(FrameFileName(options.output, options.first));
    if (options.threads > 0) omp_set_num_threads(options.threads);  // the plug-in's loops run on this thread
    PluginRenderer renderer(PluginPathOf(options), options.gpu, options.downsample);
    // What the image libraries print, on whichever thread reads or writes,
    // is not the user's business; the renderer's own lines still reach them.
    QuietStream quiet(stderr);
    std::FILE* const user = options.quiet ? nullptr : quiet.Original();
    if (options.gpu && user != nullptr) Note(renderer.GpuReport(), user);

    const auto start = std::chrono::steady_clock::now();
    const int32_t count = options.Last() - options.first + 1;
    std::array<FrameImage, 2> results;  // one rendered into while the other is written; reused
    std::optional<Source> source;
    {
        // While frame N renders here (the plug-in is called from this thread
        // only), frame N-1 is written and frame N+1's picture read.
        Stage<std::string, Source> reader([&](const std::string& input) { return LoadSource(options, input); });
        Stage<FrameToWrite, std::string> writer([&](const FrameToWrite& job) {
            std::string lost = WriteFrame(*job.frame, job.name, *job.traits, options.compression);
            if (!job.next.empty()) SetPendingOutput(job.next);  // the first frame not yet written
            return lost;
        });
        ProgressBar bar(user);
        bool firstWrite = true;
        const auto finishWrite = [&] {
            if (!writer.Busy()) return;
            const std::string lost = writer.Finish();
            if (firstWrite && !lost.empty() && user != nullptr) {  // the same for every frame
                bar.Clear();
                Note(lost, user);
            }
            firstWrite = false;
        };
        try {
            for (int32_t number = options.first; number <= options.Last(); ++number) {
                // An input sequence gives each frame its own picture.
                const std::string input = FrameFileName(options.input, number);
                const std::string name = FrameFileName(options.output, number);
                const int32_t position = number - options.first + 1;
                if (!source || source->name != input) {
                    if (!reader.Busy()) reader.Start(input);  // the first picture
                    source.reset();
                    source = reader.Finish();
                    if (position == 1 && !source->partNote.empty() && user != nullptr) Note(source->partNote, user);
                }
                const std::string nextInput =
                    number < options.Last() ? FrameFileName(options.input, number + 1) : input;
                if (nextInput != input) reader.Start(nextInput);
                const auto progress = [&](A_long current, A_long total) -> PF_Err {
                    bar.Show(position, count, current, total);
                    return StopSignal() != 0 ? PF_Interrupt_CANCEL : PF_Err_NONE;
                };
                // Frame `number` takes the same control values and time in any range.
                const int32_t index = number - options.start;
                FrameImage& result = results[size_t(position % 2)];
                const PF_Err err = renderer.Render(source->frame, ControlsAt(options.controls, index, options.frames),
                                                   index, progress, result);
                if (StopSignal() != 0) throw Stopped(name);
                if (err == PF_Err_OUT_OF_MEMORY)
                    throw Failure("out of memory rendering frame " + std::to_string(number) + "; " + kMemoryHint);
                if (err != PF_Err_NONE)
                    throw Failure("the plug-in could not render frame " + std::to_string(number) + " (host error " +
                                  std::to_string(err) + ")");
                bar.Show(position, count, 1, 1);
                finishWrite();
                const std::string next = number < options.Last() ? FrameFileName(options.output, number + 1) : "";
                writer.Start({&result, name, source->traits, next});
            }
            finishWrite();
        } catch (...) {
            // As one frame at a time would: the frames before the failure are
            // written first, and a failure among them is the one reported.
            finishWrite();
            throw;
        }
    }  // the bar leaves its line before the closing one
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (user != nullptr) std::fprintf(user, "%s: %s\n", kProgram, Summary(count, seconds).c_str());
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
