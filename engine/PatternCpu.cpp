#include "engine/PatternCpu.h"

#include <omp.h>

#include <algorithm>
#include <new>
#include <vector>

#include "engine/BandBlur.h"
#include "engine/BlurKernels.h"
#include "engine/FilterShapes.h"
#include "engine/PatternOps.h"

namespace maculo {
namespace {

bool IsUsable(const PixelF* input, const PixelF* blurred, const PixelF* pattern,
              const ImageDims& dims) {
    if (dims.width < 0 || dims.height < 0 || dims.pitch < dims.width) return false;
    const bool empty = dims.pitch == 0 || dims.height == 0;
    return empty || (input && blurred && pattern);
}

std::vector<float> MakeWeightTable(float sigma) {
    const GaussianTableShape shape = ShapeGaussianTable(sigma);
    std::vector<float> table(static_cast<size_t>(shape.taps));
    BuildWeightTable(table.data(), shape.taps, shape.coef1, shape.coef2);
    return table;
}

struct Iteration {
    const BlurKernelSet& kernels;
    LineFilter patternBlur;
    LineFilter sharpenBlur;
    float amount;
};

// Runs the iterations in one parallel region. Each iteration is two steps:
// the pattern blur into `blurred`, then the sharpen blur of `blurred` fused
// with the unsharp mask back into `pattern`; each step ends with the team's
// barrier, so it reads only what the step before finished. Threads take the
// chunks of a step one at a time, as they come free: a thread the system
// holds back (the host renders other frames beside this one) then delays
// nobody. Which thread blurs a chunk does not change its result. `input` is
// not needed. Returns the progress callback's non-zero value, or 0.
int32_t Iterate(const Iteration& it, PixelF* blurred, PixelF* pattern, const ImageDims& dims,
                int32_t chunkRows, int32_t iterations, const ProgressHook& hook,
                std::vector<BandScratch>& scratch) {
    const int32_t chunks = dims.width > 0 ? (dims.height + chunkRows - 1) / chunkRows : 0;
    const auto rowsIn = [&](int32_t chunk) { return std::min(chunkRows, dims.height - chunk * chunkRows); };
    int32_t stop = 0;
#pragma omp parallel num_threads(static_cast<int>(scratch.size()))
    {
        BandScratch& mine = scratch[static_cast<size_t>(omp_get_thread_num())];
        for (int32_t i = 0; i < iterations; ++i) {
            if (i % 2 == 1 && hook.callback) {
                // The calling thread reports while the others wait.
                if (omp_get_thread_num() == 0) stop = hook.callback(hook.ref, i, iterations);
#pragma omp barrier
                if (stop != 0) break;
            }
#pragma omp for schedule(dynamic)
            for (int32_t c = 0; c < chunks; ++c) {
                BlurChunk(it.kernels, pattern, dims, it.patternBlur, c * chunkRows, rowsIn(c), mine, blurred);
            }
#pragma omp for schedule(dynamic)
            for (int32_t c = 0; c < chunks; ++c) {
                BlurChunk(it.kernels, blurred, dims, it.sharpenBlur, c * chunkRows, rowsIn(c), mine, pattern,
                          blurred, it.amount);
            }
        }
    }
    return stop;
}

}  // namespace

PatternResult RunPatternCpuWith(const BlurKernelSet& kernels, PixelF* input, PixelF* blurred,
                                PixelF* pattern, const ImageDims& dims, const PatternSettings& settings,
                                const ProgressHook& hook) noexcept {
    if (!IsUsable(input, blurred, pattern, dims)) return {PatternStatus::kBadDims};

    if (settings.grayMode == kGrayBefore) {
        ConvertToGray(input, pattern, dims);
    } else {
        CopyImage(input, pattern, dims);
    }

    try {
        const std::vector<float> blurTable = MakeWeightTable(settings.blurSigma);
        const std::vector<float> sharpenTable = MakeWeightTable(settings.sharpenSigma);
        const Iteration it{
            kernels,
            settings.blurMode == kBlurBox
                ? BoxFilter(SanitizeSigma(settings.blurSigma) * 3.0f)
                : TableFilter(blurTable.data(), static_cast<int32_t>(blurTable.size())),
            TableFilter(sharpenTable.data(), static_cast<int32_t>(sharpenTable.size())),
            settings.sharpenAmount};

        const int32_t reach = std::max(it.patternBlur.Reach(), it.sharpenBlur.Reach());
        const int32_t taps = std::max(it.patternBlur.taps, it.sharpenBlur.taps);
        std::vector<BandScratch> scratch;
        const int threads = std::max(1, omp_get_max_threads());
        const int32_t chunkRows = RowsPerChunk(dims.height, threads);
        const int32_t bandRows = RowsPerBand(chunkRows);
        scratch.reserve(static_cast<size_t>(threads));
        for (int t = 0; t < threads; ++t) scratch.emplace_back(dims.width, bandRows, reach, taps, kernels);

        const int32_t stop = Iterate(it, blurred, pattern, dims, chunkRows, settings.iterations, hook, scratch);
        if (stop != 0) return {PatternStatus::kStopped, stop};
    } catch (const std::bad_alloc&) {
        return {PatternStatus::kOutOfMemory};
    }

    if (settings.grayMode == kGrayAfter) ConvertToGray(pattern, pattern, dims);
    return {};
}

PatternResult RunPatternCpu(PixelF* input, PixelF* blurred, PixelF* pattern, const ImageDims& dims,
                            const PatternSettings& settings, const ProgressHook& hook) noexcept {
    return RunPatternCpuWith(BestKernels(), input, blurred, pattern, dims, settings, hook);
}

}  // namespace maculo
