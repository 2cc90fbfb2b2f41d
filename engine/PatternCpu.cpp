#include "engine/PatternCpu.h"

#include <omp.h>

#include <algorithm>
#include <new>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/BandBlur.h"
#include "engine/BlurKernels.h"
#include "engine/ChunkClaims.h"
#include "engine/FilterShapes.h"
#include "engine/PatternCpuChannels.h"
#include "engine/PatternOps.h"
#include "engine/PatternWorkspace.h"
#include "engine/StripIteration.h"

namespace maculo {
namespace {

bool IsUsable(const PixelF* input, const PixelF* blurred, const PixelF* pattern, const ImageDims& dims) {
    if (dims.width < 0 || dims.height < 0 || dims.pitch < dims.width) return false;
    const bool empty = dims.pitch == 0 || dims.height == 0;
    return empty || (input && blurred && pattern);
}

// The Gaussian table for sigma, spread as the kernels read it.
std::vector<float> MakeSpreadTable(float sigma) {
    const GaussianTableShape shape = ShapeGaussianTable(sigma);
    std::vector<float> table(static_cast<size_t>(shape.taps));
    BuildWeightTable(table.data(), shape.taps, shape.coef1, shape.coef2);
    std::vector<float> spread(table.size() * kSpread);
    for (size_t t = 0; t < table.size(); ++t) std::fill_n(spread.begin() + t * kSpread, kSpread, table[t]);
    return spread;
}

struct Iteration {
    const BlurKernelSet& kernels;
    LineFilter patternBlur;
    LineFilter sharpenBlur;
    float amount;
};

// The kernels' clamp to 0...1: NaN and -0 give +0.
float Clamp01(float c) {
    c = c > 0.0f ? c : 0.0f;
    return c < 1.0f ? c : 1.0f;
}

// What a blur of an image holding v everywhere gives: every output adds the
// same products in the same order as the kernels do.
float BlurConstant(const LineFilter& filter, float v) {
    const bool table = filter.kind == LineFilter::Kind::kTable;
    const auto pass = [&](float in) {
        float sum = 0.0f;
        for (int32_t t = 0; t < filter.taps; ++t) sum = sum + (table ? filter.Weight(t) * in : in);
        if (!table) {
            sum = sum + filter.edgeWeight * in;
            sum = sum + filter.edgeWeight * in;
        }
        return Clamp01(sum / filter.divisor);
    };
    return pass(pass(v));
}

float IterateConstant(const Iteration& it, float v, int32_t iterations) {
    for (int32_t i = 0; i < iterations; ++i) {
        const float s = BlurConstant(it.patternBlur, v);
        v = Clamp01((s - BlurConstant(it.sharpenBlur, s)) * it.amount + s);
    }
    return v;
}

// The images the iterations pass between them: one or several sections of
// dims.height rows each (sectionPixels apart), of which rows firstRow ...
// firstRow + rows - 1 are computed; with strips, each section is a packed
// plane whose halo rows follow the rows computed. Fused iterations read one
// of pattern and other and write the other one, in turn; otherwise each
// iteration blurs pattern into other and sharpens it back.
struct Work {
    PixelF* pattern;
    PixelF* other;
    ImageDims dims;
    int32_t sections;
    int64_t sectionPixels;
    int32_t firstRow;
    int32_t rows;
    const PlaneStrips* strips;
};

// Rows y ... y + Count(y) - 1 of section Section(c) make chunk c, the unit
// of work a thread takes.
struct Chunks {
    const Work& work;
    int32_t rows;
    int32_t perSection = work.dims.width > 0 ? (work.rows + rows - 1) / rows : 0;

    int32_t Total() const { return perSection * work.sections; }
    int64_t Section(int32_t c) const { return c / perSection * work.sectionPixels; }
    int32_t Row(int32_t c) const { return c % perSection * rows; }
    int32_t Count(int32_t c) const { return std::min(rows, work.rows - Row(c)); }
};

// Runs the iterations in one parallel region: step(i, thread) is the team's
// work of iteration i, its last loop ending with the team's barrier, so
// that each step reads only what the one before finished. Threads take the
// chunks of a loop one at a time, as they come free: a thread the system
// holds back (the host renders other frames beside this one) then delays
// nobody. Which thread blurs a chunk does not change its result. Returns
// the progress callback's non-zero value, or 0, and the iterations
// completed.
template <typename Step>
std::pair<int32_t, int32_t> Iterate(int threads, int32_t iterations, const ProgressHook& hook, const Step& step) {
    int32_t stop = 0;
    int32_t done = iterations;
#pragma omp parallel num_threads(threads)
    {
        const int thread = omp_get_thread_num();
        for (int32_t i = 0; i < iterations; ++i) {
            if (i % 2 == 1 && hook.callback) {
                // The calling thread reports while the others wait.
                if (thread == 0) {
                    stop = hook.callback(hook.ref, i, iterations);
                    if (stop != 0) done = i;
                }
#pragma omp barrier
                if (stop != 0) break;
            }
            step(i, thread);
        }
    }
    return {stop, done};
}

// Each iteration in two steps: the pattern blur of `pattern` into `other`,
// then the sharpen blur of `other` fused with the unsharp mask back into
// `pattern`. For windows too wide to fuse the steps.
std::pair<int32_t, int32_t> IterateInSteps(const Iteration& it, const Work& work, const Chunks& chunks,
                                           int32_t iterations, const ProgressHook& hook,
                                           std::vector<BandScratch>& scratch) {
    const auto step = [&](int32_t, int thread) {
        BandScratch& mine = scratch[static_cast<size_t>(thread)];
        // One chunk of a step; the halo rows that repeat its rows follow it.
        const auto blur = [&](int32_t c, const PixelF* src, PixelF* dst, const LineFilter& filter,
                              const PixelF* sharp) {
            const int64_t section = chunks.Section(c);
            const int32_t y = chunks.Row(c);
            const int32_t count = chunks.Count(c);
            BlurChunk(it.kernels, src + section, work.dims, filter, work.firstRow + y, count, mine, dst + section,
                      sharp ? sharp + section : nullptr, it.amount);
            if (work.strips) FillHalo(*work.strips, dst + section, y, y + count);
        };
#pragma omp for schedule(dynamic)
        for (int32_t c = 0; c < chunks.Total(); ++c) blur(c, work.pattern, work.other, it.patternBlur, nullptr);
#pragma omp for schedule(dynamic)
        for (int32_t c = 0; c < chunks.Total(); ++c) blur(c, work.other, work.pattern, it.sharpenBlur, work.other);
    };
    return Iterate(static_cast<int>(scratch.size()), iterations, hook, step);
}

// Each iteration in one step, strip by strip (see StripIteration.h):
// iteration i reads `pattern` when i is even and `other` when it is odd,
// and writes the other one. Each thread has a run of neighbouring chunks,
// which it climbs from the lowest so that each goes on from the one below
// and their meeting rows are computed once; a thread done with its run
// takes chunks nobody has started, from the top of the others' runs, so
// that a thread the system holds back delays nobody.
std::pair<int32_t, int32_t> IterateFused(const Iteration& it, const Work& work, const Chunks& chunks,
                                         int32_t iterations, const ProgressHook& hook,
                                         std::vector<StripScratch>& scratch) {
    const IterationFilters filters{it.patternBlur, it.sharpenBlur, it.amount};
    ChunkClaims claims(chunks.Total());
    const auto step = [&](int32_t i, int thread) {
        StripScratch& mine = scratch[static_cast<size_t>(thread)];
        PixelF* const images[2] = {work.pattern, work.other};
        int32_t previous = -1;
        const auto iterate = [&](int32_t c) {
            const int64_t section = chunks.Section(c);
            const bool goOn = previous == c + 1 && chunks.Section(previous) == section;
            IterateStrip(it.kernels, {images[i % 2] + section, images[(i + 1) % 2] + section, work.dims, work.strips},
                         filters, work.firstRow + chunks.Row(c), chunks.Count(c), mine, goOn);
            previous = c;
        };
        const int team = omp_get_num_threads();
        const auto run = [&](int t) { return std::pair{chunks.Total() * t / team, chunks.Total() * (t + 1) / team}; };
        const auto [first, end] = run(thread);
        for (int32_t c = end - 1; c >= first; --c) {
            if (claims.Claim(c, i)) iterate(c);
        }
        for (int k = 1; k < team; ++k) {
            const auto [from, to] = run((thread + k) % team);
            for (int32_t c = from; c < to; ++c) {
                if (claims.Claim(c, i)) iterate(c);
            }
        }
#pragma omp barrier
        // The halo rows once every strip is done, each by one thread whole:
        // threads writing lanes of the same rows would pass their cache
        // lines back and forth.
        if (work.strips) {
            const int32_t halo = 2 * work.strips->halo;
#pragma omp for schedule(static)
            for (int32_t h = 0; h < work.sections * halo; ++h) {
                FillHaloRow(*work.strips, images[(i + 1) % 2] + h / halo * work.sectionPixels, h % halo, 0, work.rows);
            }
        }
    };
    return Iterate(static_cast<int>(scratch.size()), iterations, hook, step);
}

}  // namespace

PatternResult RunPatternCpuWith(const BlurKernelSet& kernels, PixelF* input, PixelF* blurred, PixelF* pattern,
                                const ImageDims& dims, const PatternSettings& settings, const ProgressHook& hook,
                                PatternWorkspace* workspace) noexcept {
    if (!IsUsable(input, blurred, pattern, dims)) return {PatternStatus::kBadDims};

    if (settings.grayMode == kGrayBefore) {
        ConvertToGray(input, pattern, dims);
    } else {
        CopyImage(input, pattern, dims);
    }

    try {
        const std::vector<float> blurTable = MakeSpreadTable(settings.blurSigma);
        const std::vector<float> sharpenTable = MakeSpreadTable(settings.sharpenSigma);
        const auto tableFilter = [](const std::vector<float>& spread) {
            return TableFilter(spread.data(), static_cast<int32_t>(spread.size() / kSpread));
        };
        const Iteration it{kernels,
                           settings.blurMode == kBlurBox ? BoxFilter(SanitizeSigma(settings.blurSigma) * 3.0f)
                                                         : tableFilter(blurTable),
                           tableFilter(sharpenTable), settings.sharpenAmount};
        const int32_t reach = std::max(it.patternBlur.Reach(), it.sharpenBlur.Reach());
        const int32_t taps = std::max(it.patternBlur.taps, it.sharpenBlur.taps);

        // The distinct channels that vary, as planes in `input` and
        // `blurred`, where they fit; otherwise all four channels in place.
        // Fused iterations read both blurs' reach past a strip.
        const int threads = std::max(1, omp_get_max_threads());
        const int32_t sharpenReach = it.sharpenBlur.Reach();
        const bool visible = dims.width > 0 && dims.height > 0 && settings.iterations > 0;
        const ChannelPlan plan = visible ? PlanChannels(pattern, dims) : ChannelPlan{{}, kChannels, {}};
        // Planes fuse their steps only for a team: the rows a fused strip
        // computes past a plane's ends cost a lone thread more than the
        // memory traffic they save it (measured).
        std::optional<PlaneStrips> strips;
        if (plan.planes < kChannels && threads > 1) {
            strips = FitPlanes(dims, plan.planes, it.patternBlur.Reach() + sharpenReach);
            if (strips && !FusesPlanes(*strips, sharpenReach)) strips.reset();
        }
        if (plan.planes < kChannels && !strips) strips = FitPlanes(dims, plan.planes, reach);
        const bool byChannel = plan.planes < kChannels && (plan.planes == 0 || strips);
        if (strips) PackPlanes(pattern, dims, plan, *strips, input);
        const Work work = strips ? Work{input,        blurred,      strips->packed, plan.planes, strips->planePixels,
                                        strips->halo, strips->rows, &*strips}
                          : byChannel ? Work{pattern, blurred, dims, 0, 0, 0, 0, nullptr}
                                      : Work{pattern, blurred, dims, 1, 0, 0, dims.height, nullptr};

        const Chunks chunks{work, RowsPerChunk(std::max(work.rows, 1), work.sections, threads, taps)};
        const int32_t ringBandRows = RowsPerRingBand(chunks.rows, kernels);
        const int32_t ringRows = RingRows(work.dims.height, ringBandRows, sharpenReach);
        const bool fused = FusesSteps(RowsPerBand(chunks.rows, kernels), ringRows) &&
                           (!strips || strips->halo >= it.patternBlur.Reach() + sharpenReach);
        const int32_t bandRows = fused ? ringBandRows : RowsPerBand(chunks.rows, kernels);
        int32_t stop = 0;
        int32_t done = 0;
        std::optional<PatternWorkspace> ownWorkspace;
        PatternWorkspace& scratch = workspace ? *workspace : ownWorkspace.emplace();
        const ScratchShape shape{&kernels, threads, fused, work.dims.width, ringRows, bandRows, reach, taps};
        if (fused) {
            std::tie(stop, done) = IterateFused(it, work, chunks, settings.iterations, hook, scratch.StripsFor(shape));
        } else {
            std::tie(stop, done) = IterateInSteps(it, work, chunks, settings.iterations, hook, scratch.BandsFor(shape));
        }
        // Where the last fused iteration left its results.
        const PixelF* result = fused && done % 2 == 1 ? work.other : work.pattern;
        if (byChannel) {
            float constants[kChannels];
            for (int c = 0; c < kChannels; ++c) constants[c] = IterateConstant(it, plan.roles[c].value, done);
            UnpackPlanes(result, strips ? &*strips : nullptr, plan, constants, pattern, dims);
        } else if (result != pattern) {
            CopyVisible(result, pattern, dims);
        }
        if (stop != 0) return {PatternStatus::kStopped, stop};
    } catch (const std::bad_alloc&) {
        return {PatternStatus::kOutOfMemory};
    }

    if (settings.grayMode == kGrayAfter) ConvertToGray(pattern, pattern, dims);
    return {};
}

PatternResult RunPatternCpu(PixelF* input, PixelF* blurred, PixelF* pattern, const ImageDims& dims,
                            const PatternSettings& settings, const ProgressHook& hook,
                            PatternWorkspace* workspace) noexcept {
    return RunPatternCpuWith(BestKernels(), input, blurred, pattern, dims, settings, hook, workspace);
}

}  // namespace maculo
