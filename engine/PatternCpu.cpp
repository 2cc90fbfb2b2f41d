#include "engine/PatternCpu.h"

#include <new>
#include <vector>

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

// Separable blur of source into target: the vertical pass runs first, along
// the rows of the turned image, so every pass reads contiguous memory.
template <typename RowBlur>
void BlurTwoPass(const PixelF* source, PixelF* target, PixelF* scratch, const ImageDims& dims,
                 const RowBlur& rowBlur) {
    RotateForward(source, scratch, dims.pitch, dims.height);
    rowBlur(scratch, target, ImageDims{dims.height, dims.width, dims.height});
    RotateBack(target, scratch, dims.height, dims.pitch);
    rowBlur(scratch, target, dims);
}

}  // namespace

int32_t RunPatternCpu(PixelF* input, PixelF* blurred, PixelF* pattern, const ImageDims& dims,
                      const PatternSettings& settings, const ProgressHook& hook) noexcept {
    if (!IsUsable(input, blurred, pattern, dims)) return kPatternBadDims;

    if (settings.grayMode == kGrayBefore) {
        ConvertToGray(input, pattern, dims);
    } else {
        CopyImage(input, pattern, dims);
    }

    try {
        const std::vector<float> blurTable = MakeWeightTable(settings.blurSigma);
        const std::vector<float> sharpenTable = MakeWeightTable(settings.sharpenSigma);
        const float boxWidth = SanitizeSigma(settings.blurSigma) * 3.0f;

        const auto patternBlur = [&](const PixelF* src, PixelF* dst, const ImageDims& rows) {
            if (settings.blurMode == kBlurBox) {
                BoxRowBlur(src, dst, rows, boxWidth);
            } else {
                GaussianRowBlur(src, dst, rows, blurTable.data(),
                                static_cast<int32_t>(blurTable.size()));
            }
        };
        const auto sharpenBlur = [&](const PixelF* src, PixelF* dst, const ImageDims& rows) {
            GaussianRowBlur(src, dst, rows, sharpenTable.data(),
                            static_cast<int32_t>(sharpenTable.size()));
        };

        for (int32_t i = 0; i < settings.iterations; ++i) {
            if (i % 2 == 1 && hook.callback) {
                const int32_t result = hook.callback(hook.ref, i, settings.iterations);
                if (result != 0) return result;
            }
            BlurTwoPass(pattern, blurred, input, dims, patternBlur);
            BlurTwoPass(blurred, input, pattern, dims, sharpenBlur);
            UnsharpMask(blurred, input, pattern, dims, settings.sharpenAmount);
        }
    } catch (const std::bad_alloc&) {
        return kPatternOutOfMemory;
    }

    if (settings.grayMode == kGrayAfter) ConvertToGray(pattern, pattern, dims);
    return kPatternOk;
}

}  // namespace maculo
