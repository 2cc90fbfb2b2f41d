// Device selection and program build, with what they write to standard output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "gpu/GpuState.h"
#include "tests/gpu/GpuTestSupport.h"

namespace maculo::test {
namespace {

// Runs in a freshly started child whose OpenCL loader sees only the drivers
// that `vendors` lists (the loader reads the setting once, on first use).
// Exits 0 when set-up behaves as on a machine without a GPU: the message
// alone, no build log, an empty state.
[[noreturn]] void CheckSetUpWithoutGpu(const std::string& vendors) {
    setenv("OCL_ICD_VENDORS", vendors.c_str(), 1);
    testing::internal::CaptureStdout();
    const GpuState state = CreateGpuState();
    const std::string out = testing::internal::GetCapturedStdout();
    const bool empty = !state.device.id() && !state.context.get() && !state.program.get();
    std::cerr << "standard output was [" << out << "]";
    std::_Exit(out == "OpenCL device not found.\n" && empty ? 0 : 1);
}

TEST(SetUpWithoutGpu, NoPlatformOrOnlyAProcessorDeviceLeavesAnEmptyStateAndSaysSo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::filesystem::path none = testing::TempDir() + "maculo-no-opencl-drivers";
    std::filesystem::create_directories(none);
    EXPECT_EXIT(CheckSetUpWithoutGpu(none.string()), testing::ExitedWithCode(0), "") << "no platform";

    const std::string pocl = "/etc/OpenCL/vendors/pocl.icd";
    if (!std::filesystem::exists(pocl)) GTEST_SKIP() << "PoCL (pocl-opencl-icd) is not installed";
    EXPECT_EXIT(CheckSetUpWithoutGpu(pocl), testing::ExitedWithCode(0), "") << "processor device only";
}

using GpuSetUp = GpuTest;

// A good build says nothing; a failed one prints the compiler's log and keeps
// device, context and the unbuilt program, a state the pipeline refuses.
TEST_F(GpuSetUp, BuildsSilentlyAndPrintsTheLogOfAFailedBuild) {
    testing::internal::CaptureStdout();
    const GpuState good = CreateGpuStateFor(Gpu().device);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    testing::internal::CaptureStdout();
    const GpuState bad = CreateGpuStateFor(Gpu().device, "kernel void Broken(global float* out) { out[0] = ; }");
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string heading = "Build Program Failure\n";
    ASSERT_EQ(out.substr(0, heading.size()), heading);
    EXPECT_NE(out.find("error", heading.size()), std::string::npos) << "no compiler log: " << out;
    EXPECT_TRUE(bad.device.id() && bad.context.get() && bad.program.get());
    EXPECT_TRUE(IsComplete(good));
    EXPECT_FALSE(IsComplete(bad));
}

}  // namespace
}  // namespace maculo::test
