#include "rendermodule/FrameSequence.h"

#include <omp.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
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

// A failure held back until the output is checked; the steps after it are skipped.
class HeldFailure {
public:
    template <typename Step>
    void Run(Step&& step) {
        if (failure_) return;
        try {
            step();
        } catch (const CliError& e) {
            failure_ = e;
        }
    }
    void Raise() const {
        if (failure_) throw *failure_;
    }

private:
    std::optional<CliError> failure_;
};

// Opened on a thread of its own: the image libraries take longer to load than a short render.
const FileModule* OpenFileModule() {
    const std::string path = CompanionFile(MACULO_FILES_MODULE_FILE, MACULO_INSTALLED_FILES_MODULE);
    return ModuleEntry<FileModuleEntry>(path, kFileModuleEntry, "file module")(&StopsForFiles());
}

// The noise at its own size and depth needs no file module to make it.
std::optional<Source> PlainNoise(const CliOptions& options) {
    if (!options.input.empty() || options.downsample != 1 || (options.depth != 0 && options.depth != 8)) return {};
    CheckFrameFits(options.noiseWidth, options.noiseHeight, 8, int64_t(options.noiseWidth) * options.noiseHeight * 3,
                   AvailableMemory());
    return Source{"", NoiseFrame(options.noiseWidth, options.noiseHeight, options.seed), nullptr, ""};
}

// Reading: each frame's picture, the next one read on a thread of its own
// while this one renders.
class PictureReading {
public:
    PictureReading(const CliOptions& options, const FileModule& files, std::optional<Source> first)
        : options_(options),
          stage_([&options, &files](const std::string& input) { return files.Load(options, input); }),
          source_(std::move(first)) {}

    // The picture of frame `number`; an input sequence gives each frame its own.
    const Source& Of(int32_t number) {
        const std::string input = FrameFileName(options_.input, number);
        if (!source_ || source_->name != input) {
            if (!stage_.Busy()) stage_.Start(input);  // the first picture
            source_.reset();
            source_ = stage_.Finish();
        }
        if (number < options_.Last())
            if (const std::string next = FrameFileName(options_.input, number + 1); next != input) stage_.Start(next);
        return *source_;
    }

private:
    const CliOptions& options_;
    Stage<std::string, Source> stage_;
    std::optional<Source> source_;
};

// Rendering: frame `number` through the plug-in, on this thread only. Frame
// `number` takes the same control values and time in any range.
class FrameRendering {
public:
    FrameRendering(const CliOptions& options, PluginRenderer* renderer, ProgressBar& bar)
        : options_(options), renderer_(renderer), bar_(bar) {}

    // The plug-in's error code; `result` is complete only on 0.
    PF_Err Render(int32_t number, const Source& source, FrameImage& result) const {
        const auto progress = [&](A_long current, A_long total) -> PF_Err {
            bar_.Show(Position(number), Count(), current, total);
            return StopSignal() != 0 ? PF_Interrupt_CANCEL : PF_Err_NONE;
        };
        const int32_t index = number - options_.start;
        return renderer_->Render(source.frame, ControlsAt(options_.controls, index, options_.frames), index, progress,
                                 result);
    }

    // Throws CliError when a stop came or the plug-in failed frame `number`.
    void Check(int32_t number, PF_Err err) const {
        if (StopSignal() != 0) throw Stopped(FrameFileName(options_.output, number));
        if (err == PF_Err_OUT_OF_MEMORY)
            throw Failure("out of memory rendering frame " + std::to_string(number) + "; " + kMemoryHint);
        if (err != PF_Err_NONE)
            throw Failure("the plug-in could not render frame " + std::to_string(number) + " (host error " +
                          std::to_string(err) + ")");
        bar_.Show(Position(number), Count(), 1, 1);
    }

private:
    int32_t Position(int32_t number) const { return number - options_.first + 1; }
    int32_t Count() const { return options_.Last() - options_.first + 1; }

    const CliOptions& options_;
    PluginRenderer* renderer_;
    ProgressBar& bar_;
};

// A rendered frame on its way to its file.
struct FrameToWrite {
    const FrameImage* frame;
    std::string name;
    std::shared_ptr<const FileTraits> traits;
    std::string next;  // the frame after it, or "" for the last
};

// Writing: each frame on a thread of its own while the next one renders.
class FrameWriting {
public:
    FrameWriting(const CliOptions& options, const FileModule& files, ProgressBar& bar, std::FILE* user)
        : options_(options),
          stage_([&options, &files](const FrameToWrite& job) {
              std::string lost = files.Write(*job.frame, job.name, job.traits.get(), options.compression);
              if (!job.next.empty()) SetPendingOutput(job.next);  // the first frame not yet written
              return lost;
          }),
          bar_(bar),
          user_(user) {}

    // Hands frame `number` to the writer once the frame before is written.
    void Start(int32_t number, const FrameImage& result, std::shared_ptr<const FileTraits> traits) {
        Finish();
        const std::string next = number < options_.Last() ? FrameFileName(options_.output, number + 1) : "";
        stage_.Start({&result, FrameFileName(options_.output, number), std::move(traits), next});
    }

    // Waits for the frame under way, if any; throws what failed it.
    void Finish() {
        if (!stage_.Busy()) return;
        const std::string lost = stage_.Finish();
        if (first_ && !lost.empty() && user_ != nullptr) {  // the same for every frame
            bar_.Clear();
            Note(lost, user_);
        }
        first_ = false;
    }

private:
    const CliOptions& options_;
    Stage<FrameToWrite, std::string> stage_;
    ProgressBar& bar_;
    std::FILE* user_;
    bool first_ = true;
};

// While frame N renders here, frame N-1 is written and frame N+1's picture
// read. The first frame may have rendered already (`firstRendered`) from
// `first`, the noise.
void RenderSequence(const CliOptions& options, const FileModule& files, const FrameRendering& rendering,
                    std::optional<Source> first, std::optional<PF_Err> firstRendered,
                    std::array<FrameImage, 2>& results, ProgressBar& bar, std::FILE* user) {
    PictureReading reading(options, files, std::move(first));
    FrameWriting writing(options, files, bar, user);
    try {
        for (int32_t number = options.first; number <= options.Last(); ++number) {
            const bool firstFrame = number == options.first;
            const Source& source = reading.Of(number);
            if (firstFrame && !source.partNote.empty() && user != nullptr) Note(source.partNote, user);
            FrameImage& result = results[size_t((number - options.first + 1) % 2)];
            rendering.Check(number,
                            firstFrame && firstRendered ? *firstRendered : rendering.Render(number, source, result));
            writing.Start(number, result, source.traits);
        }
        writing.Finish();
    } catch (...) {
        // As one frame at a time would: the frames before the failure are
        // written first, and a failure among them is the one reported.
        writing.Finish();
        throw;
    }
}

}  // namespace

void RenderFrames(const CliOptions& given) {
    InstallStopHandlers(kProgram);
    SetPendingOutput(FrameFileName(given.output, given.first));
    // Refuse missing inputs before the work, not after it.
    const CliOptions options = WithInputSequence(given);
    CheckFrameFiles(options);
    if (options.threads > 0) omp_set_num_threads(options.threads);  // the plug-in's loops run on this thread
    // The plug-in comes first: it and the file module would only take turns
    // at the dynamic loader.
    HeldFailure held;
    std::optional<PluginRenderer> renderer;
    held.Run([&] { renderer.emplace(PluginPath(options.plugin), options.gpu, options.downsample); });
    // What the image libraries print, on whichever thread reads or writes,
    // is not the user's business; the renderer's own lines still reach them.
    QuietStream quiet(stderr);
    std::FILE* const user = options.quiet ? nullptr : quiet.Original();
    std::future<const FileModule*> opening = std::async(std::launch::async, OpenFileModule);
    if (renderer && options.gpu && user != nullptr) Note(renderer->GpuReport(), user);

    const auto start = std::chrono::steady_clock::now();
    std::array<FrameImage, 2> results;  // one rendered into while the other is written; reused
    {
        ProgressBar bar(user);
        const FrameRendering rendering(options, renderer ? &*renderer : nullptr, bar);
        // The noise's first frame renders while the file module opens.
        std::optional<Source> noise;
        std::optional<PF_Err> firstRendered;
        held.Run([&] {
            if ((noise = PlainNoise(options))) firstRendered = rendering.Render(options.first, *noise, results[1]);
        });
        const FileModule& files = *opening.get();
        files.CheckWritable(FrameFileName(options.output, options.first));
        held.Raise();
        RenderSequence(options, files, rendering, std::move(noise), firstRendered, results, bar, user);
    }  // the bar leaves its line before the closing one
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (user != nullptr)
        std::fprintf(user, "%s: %s\n", kProgram, Summary(options.Last() - options.first + 1, seconds).c_str());
}

}  // namespace maculo
