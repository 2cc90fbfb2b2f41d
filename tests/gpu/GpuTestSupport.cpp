#include "tests/gpu/GpuTestSupport.h"

#include <algorithm>
#include <bit>
#include <boost/compute/system.hpp>
#include <cmath>
#include <limits>
#include <optional>
#include <random>

namespace maculo::test {
const GpuState* TestGpu() {
    namespace bc = boost::compute;
    static const std::optional<GpuState> state = []() -> std::optional<GpuState> {
        const std::vector<bc::device> devices = bc::system::devices();
        if (devices.empty()) return std::nullopt;
        const auto gpu = std::find_if(devices.begin(), devices.end(), [](const bc::device& d) {
            return (d.type() & CL_DEVICE_TYPE_GPU) != 0;
        });
        return CreateGpuStateFor(gpu != devices.end() ? *gpu : devices.front());
    }();
    return state ? &*state : nullptr;
}

void GpuTest::SetUp() {
    if (TestGpu() == nullptr) {
        GTEST_SKIP() << "No OpenCL platform or device on this machine; install an OpenCL "
                        "driver (pocl-opencl-icd provides a processor device) to run the GPU tests.";
    }
}

std::vector<PixelF> RandomImage(const ImageDims& dims, uint32_t seed) {
    std::vector<PixelF> image = Filled(dims, std::numeric_limits<float>::quiet_NaN());
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

std::vector<PixelF> Filled(const ImageDims& dims, float value) {
    return std::vector<PixelF>(static_cast<size_t>(dims.pitch) * dims.height,
                               PixelF{value, value, value, value});
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
