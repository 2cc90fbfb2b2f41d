// What the GPU tests share: the OpenCL device they run on, images and their
// comparison.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/compute/system.hpp>
#include <cmath>
#include <cstdint>
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

// pitch x height pixels of one value in every channel.
inline std::vector<PixelF> Filled(const ImageDims& dims, float value) {
    return std::vector<PixelF>(static_cast<size_t>(dims.pitch) * dims.height, PixelF{value, value, value, value});
}

// The largest difference between the visible channels of two pitch x height
// images: 0 where all are equal (+0 and -0, any two NaNs), infinite for a
// NaN against a number.
inline float LargestDifference(const std::vector<PixelF>& a, const std::vector<PixelF>& b, const ImageDims& dims) {
    float largest = 0.0f;
    for (int32_t y = 0; y < dims.height; ++y) {
        for (int32_t x = 0; x < dims.width; ++x) {
            const size_t i = static_cast<size_t>(y) * dims.pitch + x;
            for (float PixelF::*c : {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue}) {
                const float u = a.at(i).*c, v = b.at(i).*c;
                if (u == v || (std::isnan(u) && std::isnan(v))) continue;
                largest = std::isnan(u) || std::isnan(v) ? INFINITY : std::max(largest, std::fabs(u - v));
            }
        }
    }
    return largest;
}

}  // namespace maculo::test
