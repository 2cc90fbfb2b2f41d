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
#include "engine/ChannelLayout.h"
#include "engine/ChunkClaims.h"
#include "engine/ChunkIteration.h"
#include "engine/FilterShapes.h"
#include "engine/IterationPlan.h"
#include "engine/PatternOps.h"
#include "engine/PatternWorkspace.h"

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

// What every chunk of the iterations reads: the kernels, the blurs and the
// plan they run by.
struct Iteration {
    const BlurKernelSet& kernels;
    IterationFilters filters;
    const IterationPlan& plan;
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

float IterateConstant(const IterationFilters& filters, float v, int32_t iterations) {
    for (int32_t i = 0; i < iterations; ++i) {
        const float s = BlurConstant(filters.pattern.filter, v);
        v = Clamp01((s - BlurConstant(filters.sharpen.filter, s)) * filters.amount + s);
    }
    return v;
}

// The two images the iterations pass between them, each holding the
// layout's sections: fused iterations read one and write the other, in
// turn; otherwise each iteration blurs `pattern` into `other` and sharpens
// it back.
struct Work {
    PixelF* pattern;
    PixelF* other;
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
std::pair<int32_t, int32_t> IterateInSteps(const Iteration& it, const Work& work, int32_t iterations,
                                           const ProgressHook& hook, std::vector<BandScratch>& scratch) {
    const IterationPlan& plan = it.plan;
    const ChannelLayout& layout = plan.layout;
    const auto step = [&](int32_t, int thread) {
        BandScratch& mine = scratch[static_cast<size_t>(thread)];
        // One chunk of a step; the halo rows that repeat its rows follow it.
        const auto blur = [&](int32_t c, const PixelF* src, PixelF* dst, const BandFilter& filter,
                              const PixelF* sharp) {
            const int64_t section = plan.ChunkSection(c);
            const int32_t y = plan.ChunkRow(c);
            const int32_t count = plan.ChunkCount(c);
            BlurChunk(it.kernels, src + section, layout.dims, filter, layout.firstRow + y, count, mine, dst + section,
                      sharp ? sharp + section : nullptr, it.filters.amount);
            layout.FillHalo(dst + section, y, y + count);
        };
#pragma omp for schedule(dynamic)
        for (int32_t c = 0; c < plan.Chunks(); ++c) blur(c, work.pattern, work.other, it.filters.pattern, nullptr);
#pragma omp for schedule(dynamic)
        for (int32_t c = 0; c < plan.Chunks(); ++c) blur(c, work.other, work.pattern, it.filters.sharpen, work.other);
    };
    return Iterate(static_cast<int>(scratch.size()), iterations, hook, step);
}

// Each iteration in one step, chunk by chunk (see ChunkIteration.h):
// iteration i reads `pattern` when i is even and `other` when it is odd,
// and writes the other one. Each thread has a run of neighbouring chunks,
// which it climbs from the lowest so that each resumes from the one below
// and their meeting rows are computed once; a thread done with its run
// takes chunks nobody has started, from the top of the others' runs, so
// that a thread the system holds back delays nobody.
std::pair<int32_t, int32_t> IterateFused(const Iteration& it, const Work& work, int32_t iterations,
                                         const ProgressHook& hook, std::vector<ChunkScratch>& scratch) {
    const IterationPlan& plan = it.plan;
    const ChannelLayout& layout = plan.layout;
    ChunkClaims claims(plan.Chunks());
    const auto step = [&](int32_t i, int thread) {
        ChunkScratch& mine = scratch[static_cast<size_t>(thread)];
        PixelF* const images[2] = {work.pattern, work.other};
        int32_t previous = -1;
        const auto iterate = [&](int32_t c) {
            const int64_t section = plan.ChunkSection(c);
            const bool resume = previous == c + 1 && plan.ChunkSection(previous) == section;
            IterateChunk(it.kernels, {images[i % 2] + section, images[(i + 1) % 2] + section, layout}, it.filters,
                         layout.firstRow + plan.ChunkRow(c), plan.ChunkCount(c), mine, resume);
            previous = c;
        };
        const int team = omp_get_num_threads();
        const auto run = [&](int t) { return std::pair{plan.Chunks() * t / team, plan.Chunks() * (t + 1) / team}; };
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
        // The halo rows once every chunk is done, each by one thread whole:
        // threads writing lanes of the same rows would pass their cache
        // lines back and forth.
        const int32_t halo = layout.HaloRows();
        if (halo > 0) {
#pragma omp for schedule(static)
            for (int32_t h = 0; h < layout.sections * halo; ++h) {
                layout.FillHaloRow(images[(i + 1) % 2] + h / halo * layout.sectionPixels, h % halo, 0, layout.rows);
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
        const IterationWindows windows = WindowsOf(settings);
        const std::vector<float> blurTable = MakeSpreadTable(settings.blurSigma);
        const std::vector<float> sharpenTable = MakeSpreadTable(settings.sharpenSigma);
        const auto tableFilter = [](const std::vector<float>& spread) {
            return TableFilter(spread.data(), static_cast<int32_t>(spread.size() / kSpread));
        };
        const LineFilter patternBlur =
            windows.pattern.kind == LineFilter::Kind::kBox ? windows.pattern : tableFilter(blurTable);
        const LineFilter sharpenBlur = tableFilter(sharpenTable);

        // The channels to iterate, read where there is something to iterate.
        const bool visible = dims.width > 0 && dims.height > 0 && settings.iterations > 0;
        const ChannelRoles roles = visible ? ReadChannelRoles(pattern, dims) : ChannelRoles{{}, kChannels, {}};
        const IterationPlan plan =
            PlanIteration(dims, roles.planes, settings, kernels, std::max(1, omp_get_max_threads()));
        const ChannelLayout& layout = plan.layout;
        const bool packed = layout.kind == ChannelLayout::Kind::kPlanes;
        if (packed) PackPlanes(pattern, dims, roles, layout.packing, input);
        const Work work{packed ? input : pattern, blurred};
        const Iteration it{
            kernels, {{patternBlur, plan.patternTile}, {sharpenBlur, plan.sharpenTile}, settings.sharpenAmount}, plan};

        int32_t stop = 0;
        int32_t done = 0;
        std::optional<PatternWorkspace> ownWorkspace;
        PatternWorkspace& scratch = workspace ? *workspace : ownWorkspace.emplace();
        const ScratchShape shape{&kernels,      plan.threads,  plan.fused, layout.dims.width,
                                 plan.ringRows, plan.bandRows, plan.reach, plan.taps};
        if (plan.fused) {
            std::tie(stop, done) = IterateFused(it, work, settings.iterations, hook, scratch.ChunksFor(shape));
        } else {
            std::tie(stop, done) = IterateInSteps(it, work, settings.iterations, hook, scratch.BandsFor(shape));
        }
        // Where the last fused iteration left its results.
        const PixelF* result = plan.fused && done % 2 == 1 ? work.other : work.pattern;
        if (layout.kind == ChannelLayout::Kind::kPixels) {
            if (result != pattern) CopyVisible(result, pattern, dims);
        } else {
            float constants[kChannels];
            for (int c = 0; c < kChannels; ++c) constants[c] = IterateConstant(it.filters, roles.roles[c].value, done);
            UnpackPlanes(result, layout, roles, constants, pattern, dims);
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
