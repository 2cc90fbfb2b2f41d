#include "gpu/PatternGpu.h"

#include <algorithm>
#include <boost/compute/buffer.hpp>
#include <boost/compute/command_queue.hpp>
#include <boost/compute/kernel.hpp>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "engine/FilterShapes.h"

namespace maculo {
namespace {

namespace bc = boost::compute;

// What the settings ask of the filters, worked out once per call.
struct Filters {
    bool box;
    float boxAmount;  // window width of the box pattern blur
    GaussianTableShape blur;
    GaussianTableShape sharpen;

    explicit Filters(const PatternSettings& settings)
        : box(settings.blurMode == kBlurBox),
          boxAmount(SanitizeSigma(settings.blurSigma) * 3.0f),
          blur(ShapeGaussianTable(SanitizeSigma(settings.blurSigma))),
          sharpen(ShapeGaussianTable(SanitizeSigma(settings.sharpenSigma))) {}

    // Farthest any filter reads past a pixel; the kernels form x + reach in int.
    int64_t Reach() const {
        const int64_t pattern = box ? ShapeBoxWindow(boxAmount).h + 1 : blur.taps / 2;
        return std::max<int64_t>(pattern, sharpen.taps / 2);
    }
};

// Argument state lives in the kernel object, so every call makes its own.
struct PatternKernels {
    explicit PatternKernels(const bc::program& program)
        : createTable(program, "CreateKernel"),
          boxBlur(program, "BoxBlur"),
          gaussianBlur(program, "GaussianBlur"),
          unsharpMask(program, "UnsharpMask"),
          rotate(program, "Rotate90"),
          rotateBack(program, "Rotate_90"),
          convGray(program, "ConvGray") {}

    bc::kernel createTable;
    bc::kernel boxBlur;
    bc::kernel gaussianBlur;
    bc::kernel unsharpMask;
    bc::kernel rotate;
    bc::kernel rotateBack;
    bc::kernel convGray;
};

// Launches over count, or x by y, work-items without offset or local size;
// the returned event is dropped at once.
void Launch(bc::command_queue& queue, const bc::kernel& kernel, size_t count) {
    queue.enqueue_nd_range_kernel(kernel, 1, nullptr, &count, nullptr);
}

void Launch(bc::command_queue& queue, const bc::kernel& kernel, size_t x, size_t y) {
    const size_t global[2] = {x, y};
    queue.enqueue_nd_range_kernel(kernel, 2, nullptr, global, nullptr);
}

bc::buffer MakeWeightTable(bc::command_queue& queue, bc::kernel& createTable, const GaussianTableShape& shape) {
    bc::buffer table(queue.get_context(), static_cast<size_t>(shape.taps) * sizeof(float));
    createTable.set_args(table, shape.taps, shape.coef1, shape.coef2);
    Launch(queue, createTable, static_cast<size_t>(shape.taps));
    return table;
}

void SetTable(bc::kernel& gaussianBlur, int32_t taps, const bc::buffer& table) {
    gaussianBlur.set_arg(4, taps);
    gaussianBlur.set_arg(5, table);
}

// Two-pass blur of src into out, clobbering tmp: the vertical pass filters
// the rows of the image turned a quarter, then the horizontal pass. rowBlur's
// filter arguments (position 4 on) are set by the caller.
void SeparableBlur(bc::command_queue& queue, PatternKernels& kernels, bc::kernel& rowBlur, const bc::buffer& src,
                   const bc::buffer& tmp, const bc::buffer& out, const ImageDims& dims) {
    const auto w = static_cast<size_t>(dims.width);
    const auto h = static_cast<size_t>(dims.height);

    kernels.rotate.set_args(src, tmp, dims.pitch, dims.height);
    Launch(queue, kernels.rotate, w, h);
    rowBlur.set_args(tmp, out, dims.height, dims.height);
    Launch(queue, rowBlur, h, w);
    kernels.rotateBack.set_args(out, tmp, dims.height, dims.pitch);
    Launch(queue, kernels.rotateBack, h, w);
    rowBlur.set_args(tmp, out, dims.width, dims.pitch);
    Launch(queue, rowBlur, w, h);
}

void RunOnDevice(const PixelF* source, PixelF* result, const ImageDims& dims, const PatternSettings& settings,
                 const Filters& filters, const GpuState& gpu) {
    const auto count = static_cast<size_t>(dims.pitch) * static_cast<size_t>(dims.height);
    const size_t bytes = count * sizeof(PixelF);

    PatternKernels kernels(gpu.program);
    bc::command_queue queue(gpu.context, gpu.device);
    bc::buffer input(gpu.context, bytes);
    queue.enqueue_write_buffer(input, 0, bytes, source);
    bc::buffer pattern(gpu.context, bytes);
    bc::buffer blurred(gpu.context, bytes);
    queue.finish();

    if (settings.grayMode == kGrayBefore) {
        kernels.convGray.set_args(input, pattern);
        Launch(queue, kernels.convGray, count);
    } else {
        queue.enqueue_copy_buffer(input, pattern, 0, 0, bytes);
    }
    bc::buffer blurTable;
    if (!filters.box) blurTable = MakeWeightTable(queue, kernels.createTable, filters.blur);
    const bc::buffer sharpenTable = MakeWeightTable(queue, kernels.createTable, filters.sharpen);
    queue.finish();

    bc::kernel& patternBlur = filters.box ? kernels.boxBlur : kernels.gaussianBlur;
    if (filters.box) kernels.boxBlur.set_arg(4, filters.boxAmount);
    kernels.unsharpMask.set_args(blurred, input, pattern, settings.sharpenAmount);
    for (int32_t i = 0; i < settings.iterations; ++i) {
        // One Gaussian kernel object serves both blurs; the arguments set at
        // a launch are the ones it runs with.
        if (!filters.box) SetTable(kernels.gaussianBlur, filters.blur.taps, blurTable);
        SeparableBlur(queue, kernels, patternBlur, pattern, input, blurred, dims);
        SetTable(kernels.gaussianBlur, filters.sharpen.taps, sharpenTable);
        SeparableBlur(queue, kernels, kernels.gaussianBlur, blurred, pattern, input, dims);
        Launch(queue, kernels.unsharpMask, count);
    }
    queue.finish();

    if (settings.grayMode == kGrayAfter) {
        kernels.convGray.set_args(pattern, pattern);
        Launch(queue, kernels.convGray, count);
    }
    queue.finish();
    queue.enqueue_read_buffer(pattern, 0, bytes, result);
}

}  // namespace

bool RunPatternGpu(const PixelF* source, PixelF* result, const ImageDims& dims, const PatternSettings& settings,
                   const GpuState& gpu) noexcept {
    if (!IsComplete(gpu)) return false;
    if (dims.width < 0 || dims.height < 0 || dims.pitch < dims.width) return false;
    if (dims.width == 0 || dims.height == 0) return true;
    if (source == nullptr || result == nullptr) return false;

    const Filters filters(settings);
    const int64_t count = int64_t{dims.pitch} * dims.height;
    if (count > INT_MAX - filters.Reach()) return false;

    try {
        RunOnDevice(source, result, dims, settings, filters, gpu);
        return true;
    } catch (...) {
        // Lost device, exhausted device memory, an unbuilt program: the
        // caller computes the frame on the processor instead.
        return false;
    }
}

}  // namespace maculo
