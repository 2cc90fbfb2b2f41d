// The row filters and the Gaussian weight table. A row filter copies rows
// into a line padded with their mirrored ends and runs the horizontal blur
// kernel over it, so every output pixel is summed afresh over its window in
// the stated order.
#include <omp.h>

#include <algorithm>
#include <vector>

#include "engine/BlurKernels.h"
#include "engine/FilterShapes.h"
#include "engine/PatternOps.h"

namespace maculo {
namespace {

void FilterRows(const PixelF* src, PixelF* dst, const ImageDims& rows, const LineFilter& filter) {
    if (rows.width <= 0 || rows.height <= 0) return;
    const BlurKernelSet& kernels = BestKernels();
    const int32_t lanes = kernels.lanes;
    // The kernel may read one pixel past the windows' reach.
    const int32_t reach = filter.Reach() + 1;
    const size_t stride = (static_cast<size_t>(rows.width) + 2 * static_cast<size_t>(reach)) * lanes;
    const int threads = std::max(1, omp_get_max_threads());
    std::vector<PixelF> lines(stride * static_cast<size_t>(threads));
    std::vector<float> states(static_cast<size_t>(kernels.stateFloats) * threads);
    const int32_t groups = (rows.height - 1) / lanes + 1;

#pragma omp parallel for num_threads(threads) schedule(static)
    for (int32_t group = 0; group < groups; ++group) {
        PixelF* line = lines.data() + stride * static_cast<size_t>(omp_get_thread_num()) +
                       static_cast<size_t>(reach) * lanes;
        const int32_t first = group * lanes;
        const int32_t count = std::min(lanes, rows.height - first);
        PixelF* out[kBandRows];
        for (int32_t k = 0; k < count; ++k) {
            const int64_t offset = static_cast<int64_t>(first + k) * rows.pitch;
            for (int32_t x = 0; x < rows.width; ++x) line[static_cast<int64_t>(x) * lanes + k] = src[offset + x];
            out[k] = dst + offset;
        }
        PadLine(line, rows.width, reach, lanes, LineEnd::kStart);
        PadLine(line, rows.width, reach, lanes, LineEnd::kEnd);
        float* state = states.data() + static_cast<size_t>(kernels.stateFloats) * omp_get_thread_num();
        kernels.row({line, 0, rows.width, filter, count, out, nullptr, 0.0f, state});
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
