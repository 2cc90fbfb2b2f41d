// What the GPU tests share: the OpenCL device they run on, a way to run one
// kernel of the pattern program on host data, images and comparisons.
#pragma once

#include <gtest/gtest.h>

#include <boost/compute/buffer.hpp>
#include <boost/compute/command_queue.hpp>
#include <boost/compute/kernel.hpp>
#include <cstdint>
#include <vector>

#include "engine/PatternTypes.h"
#include "gpu/GpuState.h"

namespace maculo::test {

// The pattern program built on the first GPU where the machine has one, else
// on the first OpenCL device of any type (PoCL's processor device in CI).
// Made once per process; null when the machine offers no OpenCL device.
const GpuState* TestGpu();

// Tests that need an OpenCL device; skipped, with the reason, where none exists.
class GpuTest : public ::testing::Test {
protected:
    void SetUp() override;
    static const GpuState& Gpu() { return *TestGpu(); }
};

// One queue on the test device, for running single kernels of the program.
class KernelBench {
public:
    explicit KernelBench(const GpuState& gpu) : gpu_(gpu), queue_(gpu.context, gpu.device) {}

    template <class T>
    boost::compute::buffer Upload(const std::vector<T>& data) {
        boost::compute::buffer buffer(gpu_.context, data.size() * sizeof(T));
        queue_.enqueue_write_buffer(buffer, 0, buffer.size(), data.data());
        return buffer;
    }

    template <class T>
    std::vector<T> Read(const boost::compute::buffer& buffer) {
        std::vector<T> data(buffer.size() / sizeof(T));
        queue_.enqueue_read_buffer(buffer, 0, data.size() * sizeof(T), data.data());
        return data;
    }

    // Launches the named kernel over x by y work-items and waits for it.
    template <class... Args>
    void Run(const char* name, size_t x, size_t y, const Args&... args) {
        boost::compute::kernel kernel(gpu_.program, name);
        kernel.set_args(args...);
        const size_t global[2] = {x, y};
        queue_.enqueue_nd_range_kernel(kernel, 2, nullptr, global, nullptr);
        queue_.finish();
    }

private:
    const GpuState& gpu_;
    boost::compute::command_queue queue_;
};

// pitch x height pixels; the visible ones uniform in 0...1 (alpha too), the
// spare columns NaN, so that any read of them shows in a result.
std::vector<PixelF> RandomImage(const ImageDims& dims, uint32_t seed);

// pitch x height pixels of one value in every channel.
std::vector<PixelF> Filled(const ImageDims& dims, float value);

// Distance in units in the last place: 0 for the same value (+0 and -0, any
// two NaNs), the largest int64_t between a NaN and a number.
int64_t UlpDistance(float a, float b);

// The channels of the first width pixels of every row, in order.
std::vector<float> VisibleChannels(const std::vector<PixelF>& image, const ImageDims& dims);

// Fails, naming the first offending channel, unless every visible channel of
// actual lies within maxUlps of expected.
void ExpectWithinUlps(const std::vector<PixelF>& actual, const std::vector<PixelF>& expected,
                      const ImageDims& dims, int64_t maxUlps);

}  // namespace maculo::test
