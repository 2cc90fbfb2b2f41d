#include "tests/gpu/GpuTestSupport.h"

#include <bit>
#include <boost/compute/system.hpp>
#include <cmath>
#include <limits>
#include <optional>
#include <random>

namespace maculo::test {
namespace {

namespace bc = boost::compute;

std::optional<bc::device> PickTestDevice() {
    try {
        return FindGpuDevice();
    } catch (const std::exception&) {
        // No GPU: any device will do to check the program and the pipeline.
    }
    const std::vector<bc::device> devices = bc::system::devices();
    if (devices.empty()) return std::nullopt;
    return devices.front();
}

}  // namespace

const GpuState* TestGpu() {
    static const std::optional<GpuState> state = []() -> std::optional<GpuState> {
        const std::optional<bc::device> device = PickTestDevice();
        if (!device) return std::nullopt;
        return CreateGpuStateFor(*device);
    }();
    return state ? &*state : nullptr;
}

void GpuTest::SetUp() {
    if (TestGpu() == nullptr) {
        GTEST_SKIP() << "No OpenCL platform or device on this machine; install an OpenCL "
                        "driver (pocl-opencl-icd provides a processor device) to run the GPU tests.";
    }
}

KernelBench::KernelBench(const GpuState& gpu) : gpu_(gpu), queue_(gpu.context, gpu.device) {}

bc::buffer KernelBench::Upload(const std::vector<PixelF>& pixels) {
    bc::buffer buffer(gpu_.context, pixels.size() * sizeof(PixelF));
    queue_.enqueue_write_buffer(buffer, 0, buffer.size(), pixels.data());
    return buffer;
}

bc::buffer KernelBench::Upload(const std::vector<float>& values) {
    bc::buffer buffer(gpu_.context, values.size() * sizeof(float));
    queue_.enqueue_write_buffer(buffer, 0, buffer.size(), values.data());
    return buffer;
}

std::vector<PixelF> KernelBench::ReadPixels(const bc::buffer& buffer, size_t count) {
    std::vector<PixelF> pixels(count);
    queue_.enqueue_read_buffer(buffer, 0, count * sizeof(PixelF), pixels.data());
    return pixels;
}

std::vector<float> KernelBench::ReadFloats(const bc::buffer& buffer, size_t count) {
    std::vector<float> values(count);
    queue_.enqueue_read_buffer(buffer, 0, count * sizeof(float), values.data());
    return values;
}

std::vector<PixelF> RandomImage(const ImageDims& dims, uint32_t seed) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<PixelF> image(static_cast<size_t>(dims.pitch) * dims.height,
                              PixelF{nan, nan, nan, nan});
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> channel(0.0f, 1.0f);
    for (int32_t y = 0; y < dims.height; ++y) {
        for (int32_t x = 0; x < dims.width; ++x) {
            PixelF& p = image[static_cast<size_t>(y) * dims.pitch + x];
            p = {channel(random), channel(random), channel(random), channel(random)};
        }
    }
    return image;
}

int64_t UlpDistance(float a, float b) {
    if (a == b || (std::isnan(a) && std::isnan(b))) return 0;
    if (std::isnan(a) || std::isnan(b)) return std::numeric_limits<int64_t>::max();
    // Maps the floats onto a monotonic integer line, -0 and +0 together.
    const auto ordered = [](float f) {
        const auto bits = static_cast<int64_t>(std::bit_cast<int32_t>(f));
        return bits < 0 ? std::numeric_limits<int32_t>::min() - bits : bits;
    };
    const int64_t d = ordered(a) - ordered(b);
    return d < 0 ? -d : d;
}

std::vector<float> VisibleChannels(const std::vector<PixelF>& image, const ImageDims& dims) {
    std::vector<float> values;
    values.reserve(static_cast<size_t>(dims.width) * dims.height * 4);
    for (int32_t y = 0; y < dims.height; ++y) {
        for (int32_t x = 0; x < dims.width; ++x) {
            const PixelF& p = image[static_cast<size_t>(y) * dims.pitch + x];
            values.insert(values.end(), {p.alpha, p.red, p.green, p.blue});
        }
    }
    return values;
}

void ExpectWithinUlps(const std::vector<PixelF>& actual, const std::vector<PixelF>& expected,
                      const ImageDims& dims, int64_t maxUlps) {
    const std::vector<float> a = VisibleChannels(actual, dims);
    const std::vector<float> e = VisibleChannels(expected, dims);
    ASSERT_EQ(a.size(), e.size());
    for (size_t i = 0; i < a.size(); ++i) {
        if (UlpDistance(a[i], e[i]) > maxUlps) {
            const size_t pixel = i / 4;
            ADD_FAILURE() << "channel " << i % 4 << " of pixel (" << pixel % dims.width << ", "
                          << pixel / dims.width << "): " << a[i] << " vs expected " << e[i]
                          << ", " << UlpDistance(a[i], e[i]) << " ulps apart";
            return;
        }
    }
}

}  // namespace maculo::test
