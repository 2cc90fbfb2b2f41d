#include "rendermodule/FrameSequence.h"

#include <omp.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "renderlib/CliError.h"
#include "renderlib/FileModule.h"
#include "renderlib/FrameBudget.h"
#include "renderlib/InputSequence.h"
#include "renderlib/InstallLayout.h"
#include "renderlib/Messages.h"
#include "renderlib/ModuleEntry.h"
#include "renderlib/Noise.h"
#include "renderlib/ProcessorShare.h"
#include "renderlib/QuietStream.h"
#include "renderlib/TemporaryFiles.h"
#include "rendermodule/ChunkReport.h"
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

// The numbers of the frames a run renders, in order; a frame's position
// among them counts from 1.
using FrameNumbers = std::vector<int32_t>;

// Reading: each frame's picture, the next one read on a thread of its own
// while this one renders.
class PictureReading {
public:
    PictureReading(const CliOptions& options, const FrameNumbers& numbers, const FileModule& files,
                   std::optional<Source> first)
        : options_(options),
          numbers_(numbers),
          stage_([&options, &files](const std::string& input) { return files.Load(options, input); }),
          source_(std::move(first)) {}

    // The picture of the frame at `position`; an input sequence gives each frame its own.
    const Source& Of(size_t position) {
        const std::string input = FrameFileName(options_.input, numbers_[position - 1]);
        if (!source_ || source_->name != input) {
            if (!stage_.Busy()) stage_.Start(input);  // the first picture
            source_.reset();
            source_ = stage_.Finish();
        }
        if (position < numbers_.size())
            if (const std::string next = FrameFileName(options_.input, numbers_[position]); next != input)
                stage_.Start(next);
        return *source_;
    }

private:
    const CliOptions& options_;
    const FrameNumbers& numbers_;
    Stage<std::string, Source> stage_;
    std::optional<Source> source_;
};

// Rendering: frame `number` through the plug-in, on this thread only. Frame
// `number` takes the same control values and time in any range.
class FrameRendering {
public:
    FrameRendering(const CliOptions& options, const FrameNumbers& numbers, PluginRenderer* renderer,
                   ProgressBar& bar)
        : options_(options), count_(int32_t(numbers.size())), renderer_(renderer), bar_(bar) {}

    // Frame `number`, at `position` among those rendered: the plug-in's error
    // code; `result` is complete only on 0.
    PF_Err Render(int32_t number, int32_t position, const Source& source, FrameImage& result) const {
        const auto progress = [&](A_long current, A_long total) -> PF_Err {
            bar_.Show(position, count_, current, total);
            return StopSignal() != 0 ? PF_Interrupt_CANCEL : PF_Err_NONE;
        };
        const int32_t index = number - options_.start;
        return renderer_->Render(source.frame, ControlsAt(options_.controls, index, options_.frames), index, progress,
                                 result);
    }

    // Throws CliError when a stop came or the plug-in failed frame `number`.
    void Check(int32_t number, int32_t position, PF_Err err) const {
        if (StopSignal() != 0) throw Stopped(FrameFileName(options_.output, number));
        if (err == PF_Err_OUT_OF_MEMORY)
            throw Failure("out of memory rendering frame " + std::to_string(number) + "; " + kMemoryHint);
        if (err != PF_Err_NONE)
            throw Failure("the plug-in could not render frame " + std::to_string(number) + " (host error " +
                          std::to_string(err) + ")");
        bar_.Show(position, count_, 1, 1);
    }

private:
    const CliOptions& options_;
    int32_t count_;
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

// Writing: each frame on a thread of its own while the next one renders;
// `written` counts the frames in their files.
class FrameWriting {
public:
    FrameWriting(const CliOptions& options, const FrameNumbers& numbers, const FileModule& files, ProgressBar& bar,
                 std::FILE* user, int32_t& written)
        : options_(options),
          numbers_(numbers),
          stage_([&options, &files](const FrameToWrite& job) {
              std::string lost = files.Write(*job.frame, job.name, job.traits.get(), options.compression);
              if (!job.next.empty()) SetPendingOutput(job.next);  // the first frame not yet written
              return lost;
          }),
          bar_(bar),
          user_(user),
          written_(written) {}

    // Hands the frame at `position` to the writer once the frame before is written.
    void Start(size_t position, const FrameImage& result, std::shared_ptr<const FileTraits> traits) {
        Finish();
        const std::string next = position < numbers_.size() ? FrameFileName(options_.output, numbers_[position]) : "";
        stage_.Start({&result, FrameFileName(options_.output, numbers_[position - 1]), std::move(traits), next});
    }

    // Waits for the frame under way, if any; throws what failed it.
    void Finish() {
        if (!stage_.Busy()) return;
        const std::string lost = stage_.Finish();
        ++written_;
        if (first_ && !lost.empty() && user_ != nullptr) {  // the same for every frame
            bar_.Clear();
            Note(lost, user_);
        }
        first_ = false;
    }

private:
    const CliOptions& options_;
    const FrameNumbers& numbers_;
    Stage<FrameToWrite, std::string> stage_;
    ProgressBar& bar_;
    std::FILE* user_;
    int32_t& written_;
    bool first_ = true;
};

// While frame N renders here, frame N-1 is written and frame N+1's picture
// read. The first frame may have rendered already (`firstRendered`) from
// `first`, the noise.
void RenderSequence(const CliOptions& options, const FrameNumbers& numbers, const FileModule& files,
                    const FrameRendering& rendering, std::optional<Source> first, std::optional<PF_Err> firstRendered,
                    std::array<FrameImage, 2>& results, ProgressBar& bar, std::FILE* user, int32_t& written) {
    PictureReading reading(options, numbers, files, std::move(first));
    FrameWriting writing(options, numbers, files, bar, user, written);
    try {
        for (size_t position = 1; position <= numbers.size(); ++position) {
            const int32_t number = numbers[position - 1];
            const bool firstFrame = position == 1;
            const Source& source = reading.Of(position);
            if (firstFrame && !source.partNote.empty() && user != nullptr) Note(source.partNote, user);
            FrameImage& result = results[position % 2];
            rendering.Check(number, int32_t(position),
                            firstFrame && firstRendered ? *firstRendered
                                                        : rendering.Render(number, int32_t(position), source, result));
            writing.Start(position, result, source.traits);
        }
        writing.Finish();
    } catch (...) {
        // As one frame at a time would: the frames before the failure are
        // written first, and a failure among them is the one reported.
        writing.Finish();
        throw;
    }
}

// What a chunk did, for its closing line; `began` once its frames are known.
struct ChunkEnd {
    bool began = false;
    ChunkCount count;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// Throws CliError for the first failure, having written the frames before
// it; a failure before the file module is open is reported only once the
// output is found writable, as when the output came first.
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
        options.output, options.staleAfter < 0
                            ? std::nullopt
                            : std::optional<std::chrono::seconds>(std::chrono::minutes(options.staleAfter)));
    const FrameNumbers numbers = FramesToRender(options);
    end.began = true;
    end.count.kept = options.Last() - options.first + 1 - int32_t(numbers.size());
    if (numbers.empty()) return;
    SetPendingOutput(FrameFileName(options.output, numbers.front()));
    // The plug-in's loops run on this thread.
    omp_set_num_threads(options.threads > 0 ? options.threads : ProcessorShare());
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
    if (removed > 0 && user != nullptr)
        Note("removed " + std::to_string(removed) + " temporary file" + (removed == 1 ? "" : "s") +
                 " of this output left by a run that was killed",
             user);

    std::array<FrameImage, 2> results;  // one rendered into while the other is written; reused
    ProgressBar bar(user, end.count.kept);
    const FrameRendering rendering(options, numbers, renderer ? &*renderer : nullptr, bar);
    // The noise's first frame renders while the file module opens.
    std::optional<Source> noise;
    std::optional<PF_Err> firstRendered;
    held.Run([&] {
        if ((noise = PlainNoise(options))) firstRendered = rendering.Render(numbers.front(), 1, *noise, results[1]);
    });
    const FileModule& files = *opening.get();
    files.CheckWritable(FrameFileName(options.output, numbers.front()));
    held.Raise();
    RenderSequence(options, numbers, files, rendering, std::move(noise), firstRendered, results, bar, user,
                   end.count.rendered);
}

}  // namespace

int RenderChunk(const CliOptions& options) {
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

}  // namespace maculo
