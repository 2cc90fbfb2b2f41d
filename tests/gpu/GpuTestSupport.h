// What the GPU tests share: the OpenCL device they run on, images and their
// comparison.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <boost/compute/system.hpp>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "engine/PatternTypes.h"
#include "engine/ReferencePattern.h"
#include "gpu/GpuState.h"

namespace maculo::test {

// The blur and sharpen sigma of the default controls.
constexpr float kDefaultSigma = 2.115059f;

// The pattern program built on Boost.Compute's default device: the first GPU
// where the machine has one, else a processor device (PoCL's in CI). Made
// once per process; null when the machine offers no OpenCL device.
inline const GpuState* TestGpu() {
    static const std::optional<GpuState> state =
        boost::compute::system::device_count() == 0
            ? std::nullopt
            : std::optional<GpuState>(CreateGpuStateFor(boost::compute::system::default_device()));
    return state ? &*state : nullptr;
}

// Tests that need an OpenCL device; skipped, with the reason, where none exists.
class GpuTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (TestGpu() == nullptr) {
            GTEST_SKIP() << "No OpenCL platform or device on this machine; install an OpenCL "
                            "driver (pocl-opencl-icd provides a processor device) to run the GPU tests.";
        }
    }
    static const GpuState& Gpu() { return *TestGpu(); }
};

// pitch x height pixels of channels in [-0.25, 1.25), the spare columns NaN so
// that any read of them shows.
inline std::vector<PixelF> RandomImage(const ImageDims& dims, uint32_t seed) {
    return reference::RandomImage(dims, seed, std::numeric_limits<float>::quiet_NaN());
}

// pitch x height pixels of one value in every channel.
inline std::vector<PixelF> Filled(const ImageDims& dims, float value) {
    return std::vector<PixelF>(static_cast<size_t>(dims.pitch) * dims.height, PixelF{value, value, value, value});
}

// Distance in units in the last place: 0 for the same value (+0 and -0, any
// two NaNs), the largest int64_t between a NaN and a number.
inline int64_t Ulps(float a, float b) {
    if (a == b || (std::isnan(a) && std::isnan(b))) return 0;
    if (std::isnan(a) || std::isnan(b)) return std::numeric_limits<int64_t>::max();
    // Maps the floats onto a monotonic integer line, -0 and +0 together.
    const auto ordered = [](float f) -> int64_t {
        const int32_t bits = std::bit_cast<int32_t>(f);
        return bits < 0 ? int64_t{std::numeric_limits<int32_t>::min()} - bits : bits;
    };
    return std::abs(ordered(a) - ordered(b));
}

// Over the visible channels of two pitch x height images: the largest
// distance in ulps and in value (a NaN against a number is the worst).
struct Difference {
    int64_t ulps = 0;
    float largest = 0.0f;
};

inline Difference Compare(const std::vector<PixelF>& a, const std::vector<PixelF>& b, const ImageDims& dims) {
    Difference d;
    for (int32_t y = 0; y < dims.height; ++y) {
        for (int32_t x = 0; x < dims.width; ++x) {
            const size_t i = static_cast<size_t>(y) * dims.pitch + x;
            for (float PixelF::*c : {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue}) {
                const float value = std::fabs(a.at(i).*c - b.at(i).*c);
                d.ulps = std::max(d.ulps, Ulps(a[i].*c, b[i].*c));
                if (!(value <= d.largest)) d.largest = value;
            }
        }
    }
    return d;
}

}  // namespace maculo::test
