// What the GPU tests share: the OpenCL device they run on.
#pragma once

#include <gtest/gtest.h>

#include <boost/compute/system.hpp>
#include <optional>

#include "gpu/GpuState.h"

namespace maculo::test {

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

}  // namespace maculo::test
