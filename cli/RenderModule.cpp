// The renderer's render module: renders frames through the plug-in's own
// binary, reading and writing them through the file module, which opens on a
// thread of its own meanwhile.
#include "cli/RenderModule.h"

#include <omp.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <exception>
#include <future>
#include <optional>
#include <string>

#include "cli/ChunkReport.h"
#include "cli/CliError.h"
#include "cli/FrameBudget.h"
#include "cli/Messages.h"
#include "cli/ModuleEntry.h"
#include "cli/Noise.h"
#include "cli/PictureFiles.h"
#include "cli/PluginRenderer.h"
#include "cli/ProcessorShare.h"
#include "cli/ProgramFiles.h"
#include "cli/Progress.h"
#include "cli/QuietStream.h"
#include "cli/SequenceFiles.h"
#include "cli/Signals.h"
#include "cli/Stage.h"
#include "cli/TemporaryFiles.h"

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

// What a chunk did, for its closing line; `began` once its frames are known.
struct ChunkEnd {
    bool began = false;
    ChunkCount count;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

void RenderFrames(const CliOptions& given, ChunkEnd& end) {
    InstallStopHandlers(kProgram);
    SetPendingOutput(FrameFileName(given.output, given.first));
    // Refuse missing inputs, and an output folder that takes no file, before
    // the work, not after it.
    const CliOptions options = WithInputSequence(given);
    CheckFrameFiles(options);
    CheckFolderWritable(FrameFileName(options.output, options.first));
    // What a killed run left; then what is there already need not render again.
    const int32_t removed = RemoveStaleTemporaries(
        options.output, options.staleAfter < 0 ? std::nullopt
                                               : std::optional<std::chrono::seconds>(std::chrono::minutes(options.staleAfter)));
    const std::vector<int32_t> numbers = FramesToRender(options);
    end.began = true;
    end.count.kept = options.Last() - options.first + 1 - int32_t(numbers.size());
    if (numbers.empty()) return;
    SetPendingOutput(FrameFileName(options.output, numbers.front()));
    // The plug-in's loops run on this thread.
    omp_set_num_threads(options.threads > 0 ? options.threads : ProcessorShare());
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
    std::future<const PictureFiles*> opening = std::async(std::launch::async, [] {
        const std::string path = ProgramFile(MACULO_FILES_MODULE_FILE, MACULO_INSTALLED_FILES_MODULE);
        return ModuleEntry<PictureFilesEntry>(path, kPictureFilesEntry, "file module")();
    });
    if (renderer && options.gpu && user != nullptr) Note(renderer->GpuReport(), user);
    if (removed > 0 && user != nullptr)
        Note("removed " + std::to_string(removed) + " temporary file" + (removed == 1 ? "" : "s") +
                 " of this output left by a run that was killed",
             user);

    const int32_t count = int32_t(numbers.size());
    std::array<FrameImage, 2> results;  // one rendered into while the other is written; reused
    {
        ProgressBar bar(user, end.count.kept);
        // Frame `number` takes the same control values and time in any range.
        const auto render = [&](int32_t number, int32_t position, const Source& source, FrameImage& result) {
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
            if (renderer && (source = PlainNoise(options))) firstRendered = render(numbers[0], 1, *source, results[1]);
        } catch (const CliError&) {
            deferred = std::current_exception();
        }
        const PictureFiles& files = *opening.get();
        files.CheckWritable(FrameFileName(options.output, numbers.front()));
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
            ++end.count.rendered;
            if (firstWrite && !lost.empty() && user != nullptr) {  // the same for every frame
                bar.Clear();
                Note(lost, user);
            }
            firstWrite = false;
        };
        try {
            for (int32_t position = 1; position <= count; ++position) {
                const int32_t number = numbers[size_t(position - 1)];
                const bool last = position == count;
                // An input sequence gives each frame its own picture.
                const std::string input = FrameFileName(options.input, number);
                const std::string name = FrameFileName(options.output, number);
                if (!source || source->name != input) {
                    if (!reader.Busy()) reader.Start(input);  // the first picture
                    source.reset();
                    source = reader.Finish();
                    if (position == 1 && !source->partNote.empty() && user != nullptr) Note(source->partNote, user);
                }
                const std::string nextInput = last ? input : FrameFileName(options.input, numbers[size_t(position)]);
                if (nextInput != input) reader.Start(nextInput);
                FrameImage& result = results[size_t(position % 2)];
                const PF_Err err =
                    position == 1 && firstRendered ? *firstRendered : render(number, position, *source, result);
                if (StopSignal() != 0) throw Stopped(name);
                if (err == PF_Err_OUT_OF_MEMORY)
                    throw Failure("out of memory rendering frame " + std::to_string(number) + "; " + kMemoryHint);
                if (err != PF_Err_NONE)
                    throw Failure("the plug-in could not render frame " + std::to_string(number) + " (host error " +
                                  std::to_string(err) + ")");
                bar.Show(position, count, 1, 1);
                finishWrite();
                const std::string next = last ? "" : FrameFileName(options.output, numbers[size_t(position)]);
                writer.Start({&result, name, source->traits, next});
            }
            finishWrite();
        } catch (...) {
            // As one frame at a time would: the frames before the failure are
            // written first, and a failure among them is the one reported.
            finishWrite();
            throw;
        }
    }
}

int Run(const CliOptions& options) {
    if (options.action == CliOptions::Action::kAbout) {
        std::string about = PluginRenderer(PluginPathOf(options), false, 1).About();
        for (char& c : about)
            if (c == '\r') c = '\n';  // the host's line break
        std::printf("%s\n", about.c_str());
        return 0;
    }
    // Every chunk that got as far as its frames ends with one line, --quiet
    // or not, after the line of a failure or a stop: a farm's log keeps it.
    ChunkEnd end;
    const int exitCode = ExitCodeOf([&] {
        RenderFrames(options, end);
        return 0;
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - end.start).count();
    end.count.failed = exitCode != 0 && StopSignal() == 0 ? 1 : 0;  // a run ends at its first failure
    if (end.began) std::fprintf(stderr, "%s: %s\n", kProgram, ClosingLine(end.count, seconds).c_str());
    return exitCode;
}

}  // namespace
}  // namespace maculo

int maculo_render_run(const maculo::CliOptions* options) {
    return maculo::ExitCodeOf([&] { return maculo::Run(*options); });
}
