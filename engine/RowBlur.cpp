// The row filters and the Gaussian weight table. A row filter copies each row
// into a line padded with its mirrored ends and runs the horizontal blur
// kernel over it, so every output pixel is summed afresh over its window in
// the stated order.
#include <omp.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/BlurKernels.h"
#include "engine/FilterShapes.h"
#include "engine/PatternOps.h"

namespace maculo {
namespace {

void FilterRows(const PixelF* src, PixelF* dst, const ImageDims& rows, const LineFilter& filter) {
    if (rows.width <= 0 || rows.height <= 0) return;
    const BlurKernelSet& kernels = BestKernels();
    const int32_t reach = filter.Reach();
    const size_t stride = static_cast<size_t>(rows.width) + 2 * static_cast<size_t>(reach);
    const int threads = std::max(1, omp_get_max_threads());
    std::vector<PixelF> lines(stride * static_cast<size_t>(threads));

#pragma omp parallel for num_threads(threads) schedule(static)
    for (int32_t r = 0; r < rows.height; ++r) {
        const int64_t offset = static_cast<int64_t>(r) * rows.pitch;
        PixelF* line = lines.data() + stride * static_cast<size_t>(omp_get_thread_num()) + reach;
        std::memcpy(line, src + offset, static_cast<size_t>(rows.width) * sizeof(PixelF));
        PadLine(line, rows.width, reach);
        kernels.row(line, rows.width, filter, nullptr, 0.0f, dst + offset);
    }
}

}  // namespace

void BuildWeightTable(float* table, int32_t length, float coef1, float coef2) {
    const GaussianTableShape shape{length, coef1, coef2};
#pragma omp parallel for schedule(static)
    for (int32_t i = 0; i < length; ++i) table[i] = GaussianWeight(i, shape);
}

void BoxRowBlur(const PixelF* src, PixelF* dst, const ImageDims& rows, float a) {
    FilterRows(src, dst, rows, BoxFilter(a));
}

void GaussianRowBlur(const PixelF* src, PixelF* dst, const ImageDims& rows,
                     const float* table, int32_t length) {
    FilterRows(src, dst, rows, TableFilter(table, length));
}

}  // namespace maculo
