// The renderer's render module: renders frames through the plug-in's own
// binary, reading and writing them through the file module, which opens on a
// thread of its own meanwhile.
#include "renderlib/RenderModule.h"

#include <omp.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <exception>
#include <future>
#include <optional>
#include <string>

#include "renderlib/CliError.h"
#include "renderlib/FileModule.h"
#include "renderlib/FrameBudget.h"
#include "renderlib/InputSequence.h"
#include "renderlib/InstallLayout.h"
#include "renderlib/Messages.h"
#include "renderlib/ModuleEntry.h"
#include "renderlib/Noise.h"
#include "renderlib/QuietStream.h"
#include "rendermodule/PluginRenderer.h"
#include "rendermodule/Progress.h"
#include "rendermodule/Signals.h"
#include "rendermodule/Stage.h"

namespace maculo {
namespace {

std::string PluginPathOf(const CliOptions& options) {
    return options.plugin.empty() ? DefaultPluginPath() : options.plugin;
}

// The noise at its own size and depth needs no file module to make it.
std::optional<Source> PlainNoise(const CliOptions& options) {
    if (!options.input.empty() || options.downsample != 1 || (options.depth != 0 && options.depth != 8)) return {};
    CheckFrameFits(options.noiseWidth, options.noiseHeight, 8, int64_t(options.noiseWidth) * options.noiseHeight * 3,
                   AvailableMemory());
    return Source{"", NoiseFrame(options.noiseWidth, options.noiseHeight, options.seed), nullptr, ""};
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
    // Refuse missing inputs before the work, not after it.
    const CliOptions options = WithInputSequence(given);
    CheckFrameFiles(options);
    if (options.threads > 0) omp_set_num_threads(options.threads);  // the plug-in's loops run on this thread
    // The plug-in comes first: it and the file module would only take turns
    // at the dynamic loader. What fails before the file module is open is
    // reported after the output is checked, as when the output came first.
    std::optional<PluginRenderer> renderer;
    std::exception_ptr deferred;
    try {
        renderer.emplace(PluginPathOf(options), options.gpu, options.downsample);
    } catch (const CliError&) {
        deferred = std::current_exception();
    }
    // What the image libraries print, on whichever thread reads or writes,
    // is not the user's business; the renderer's own lines still reach them.
    QuietStream quiet(stderr);
    std::FILE* const user = options.quiet ? nullptr : quiet.Original();
    std::future<const FileModule*> opening = std::async(std::launch::async, [] {
        const std::string path = CompanionFile(MACULO_FILES_MODULE_FILE, MACULO_INSTALLED_FILES_MODULE);
        return ModuleEntry<FileModuleEntry>(path, kFileModuleEntry, "file module")(&StopsForFiles());
    });
    if (renderer && options.gpu && user != nullptr) Note(renderer->GpuReport(), user);

    const auto start = std::chrono::steady_clock::now();
    const int32_t count = options.Last() - options.first + 1;
    std::array<FrameImage, 2> results;  // one rendered into while the other is written; reused
    {
        ProgressBar bar(user);
        // Frame `number` takes the same control values and time in any range.
        const auto render = [&](int32_t number, const Source& source, FrameImage& result) {
            const int32_t position = number - options.first + 1;
            const auto progress = [&](A_long current, A_long total) -> PF_Err {
                bar.Show(position, count, current, total);
                return StopSignal() != 0 ? PF_Interrupt_CANCEL : PF_Err_NONE;
            };
            const int32_t index = number - options.start;
            return renderer->Render(source.frame, ControlsAt(options.controls, index, options.frames), index, progress,
                                    result);
        };
        // The noise's first frame renders while the file module opens.
        std::optional<Source> source;
        std::optional<PF_Err> firstRendered;
        try {
            if (renderer && (source = PlainNoise(options))) firstRendered = render(options.first, *source, results[1]);
        } catch (const CliError&) {
            deferred = std::current_exception();
        }
        const FileModule& files = *opening.get();
        files.CheckWritable(FrameFileName(options.output, options.first));
        if (deferred) std::rethrow_exception(deferred);

        // While frame N renders here (the plug-in is called from this thread
        // only), frame N-1 is written and frame N+1's picture read.
        Stage<std::string, Source> reader([&](const std::string& input) { return files.Load(options, input); });
        Stage<FrameToWrite, std::string> writer([&](const FrameToWrite& job) {
            std::string lost = files.Write(*job.frame, job.name, job.traits.get(), options.compression);
            if (!job.next.empty()) SetPendingOutput(job.next);  // the first frame not yet written
            return lost;
        });
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
                FrameImage& result = results[size_t(position % 2)];
                const PF_Err err = position == 1 && firstRendered ? *firstRendered : render(number, *source, result);
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

int maculo_render_run(const maculo::CliOptions* options) {
    return maculo::ExitCodeOf([&] { return maculo::Run(*options); });
}
