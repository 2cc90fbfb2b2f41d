// Device selection and program build, with what they write to standard output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

#include "gpu/GpuState.h"
#include "gpu/PatternGpu.h"
#include "tests/gpu/GpuTestSupport.h"

namespace maculo::test {
namespace {

bool IsEmpty(const GpuState& state) {
    return state.device.id() == nullptr && state.context.get() == nullptr &&
           state.program.get() == nullptr;
}

// Runs in a child process started afresh, whose OpenCL loader sees only the
// drivers that `vendors` lists: the loader reads that setting once, on first use.
// Exits 0 when set-up behaves as on a machine without a GPU.
[[noreturn]] void CheckSetUpWithoutGpu(const std::string& vendors) {
    setenv("OCL_ICD_VENDORS", vendors.c_str(), 1);
    testing::internal::CaptureStdout();
    const GpuState state = CreateGpuState();
    const std::string out = testing::internal::GetCapturedStdout();
    if (out != "OpenCL device not found.\n") {
        std::cerr << "standard output was: [" << out << "]";
        std::_Exit(1);
    }
    if (!IsEmpty(state)) {
        std::cerr << "the state is not empty";
        std::_Exit(2);
    }
    try {
        FindGpuDevice();
        std::cerr << "FindGpuDevice found a device";
        std::_Exit(3);
    } catch (const std::runtime_error& error) {
        if (std::string(error.what()) != "OpenCL device not found.") std::_Exit(4);
    }
    std::_Exit(0);
}

class SetUpWithoutGpu : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(SetUpWithoutGpu, NoOpenCLPlatformLeavesAnEmptyStateAndSaysSo) {
    const std::filesystem::path none = testing::TempDir() + "maculo-no-opencl-drivers";
    std::filesystem::create_directories(none);
    EXPECT_EXIT(CheckSetUpWithoutGpu(none.string()), testing::ExitedWithCode(0), "");
}

TEST_F(SetUpWithoutGpu, OnlyAProcessorDeviceLeavesAnEmptyStateWithoutBuildLog) {
    const std::string pocl = "/etc/OpenCL/vendors/pocl.icd";
    if (!std::filesystem::exists(pocl)) GTEST_SKIP() << "PoCL (pocl-opencl-icd) is not installed";
    EXPECT_EXIT(CheckSetUpWithoutGpu(pocl), testing::ExitedWithCode(0), "");
}

using GpuSetUp = GpuTest;

TEST_F(GpuSetUp, TheProgramBuildsSilentlyOnTheTestDevice) {
    testing::internal::CaptureStdout();
    const GpuState state = CreateGpuStateFor(Gpu().device);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_NE(state.program.get(), nullptr);
    EXPECT_EQ(state.program.get_build_info<cl_build_status>(CL_PROGRAM_BUILD_STATUS,
                                                             state.device),
              CL_BUILD_SUCCESS);
}

TEST_F(GpuSetUp, AFailedBuildPrintsItsLogAndKeepsTheUnbuiltProgram) {
    testing::internal::CaptureStdout();
    const GpuState state =
        CreateGpuStateFor(Gpu().device, "kernel void Broken(global float* out) { out[0] = ; }");
    const std::string out = testing::internal::GetCapturedStdout();

    const std::string heading = "Build Program Failure\n";
    ASSERT_EQ(out.substr(0, heading.size()), heading);
    const std::string log = out.substr(heading.size());
    EXPECT_NE(log.find("error"), std::string::npos) << "no compiler log: " << log;
    EXPECT_NE(state.device.id(), nullptr);
    EXPECT_NE(state.context.get(), nullptr);
    EXPECT_NE(state.program.get(), nullptr);

    const std::vector<PixelF> image(4);
    std::vector<PixelF> result(4);
    EXPECT_FALSE(RunPatternGpu(image.data(), result.data(), ImageDims{2, 2, 2},
                               PatternSettings{kBlurGaussian, kGrayOff, 1, 1.0f, 1.0f, 1.0f, true},
                               state));
}

TEST(GpuSetUpOnNullDevice, SaysNoDeviceAndReturnsAnEmptyState) {
    testing::internal::CaptureStdout();
    const GpuState state = CreateGpuStateFor(boost::compute::device());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "OpenCL device not found.\n");
    EXPECT_TRUE(IsEmpty(state));
}

}  // namespace
}  // namespace maculo::test
