// Checks the OpenCL entry points of the Windows build, which load OpenCL.dll
// at run time.
//   present: an OpenCL.dll with a platform is reached through them: devices
//            are listed and the GPU pipeline runs on the first.
//   absent:  without OpenCL.dll there is no platform, and every other call
//            fails cleanly instead of crashing.
// Exits with 1 at the first failed check.

#include <CL/cl.h>
#include <CL/cl_ext.h>

#include <boost/compute/system.hpp>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/PatternCpu.h"
#include "gpu/GpuState.h"
#include "gpu/PatternGpu.h"

namespace {

void Expect(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

// The whole GPU pipeline on a device of any type: program build, buffers,
// kernels, launches and reads all pass through the entry points. Its result
// agrees with the processor's as closely as the GPU tests require.
void CheckPipeline(const boost::compute::device& device) {
    constexpr maculo::ImageDims dims{13, 9, 13};
    const maculo::PatternSettings settings{maculo::kBlurGaussian, maculo::kGrayOff, 3, 1.5f, 1.0f, 2.0f, true};
    std::vector<maculo::PixelF> source(13 * 9), gpu(source.size()), blurred(source.size()), cpu(source.size());
    for (size_t i = 0; i < source.size(); ++i) {
        const float v = static_cast<float>((i * 37) % 101) / 100.0f;
        source[i] = {1.0f, v, 1.0f - v, v * v};
    }
    Expect(maculo::RunPatternGpu(source.data(), gpu.data(), dims, settings, maculo::CreateGpuStateFor(device)),
           "pattern on the device");
    Expect(maculo::RunPatternCpu(source.data(), blurred.data(), cpu.data(), dims, settings, {}).status ==
               maculo::PatternStatus::kDone,
           "pattern on the processor");
    for (size_t i = 0; i < source.size(); ++i) {
        for (float maculo::PixelF::*c :
             {&maculo::PixelF::alpha, &maculo::PixelF::red, &maculo::PixelF::green, &maculo::PixelF::blue}) {
            Expect(std::fabs(gpu[i].*c - cpu[i].*c) <= 1e-5f, "device and processor agree");
        }
    }
}

void CheckPresent() {
    const std::vector<boost::compute::device> devices = boost::compute::system::devices();
    Expect(!devices.empty(), "a device listed");
    std::printf("OpenCL present: %u device(s), first %s\n", static_cast<unsigned>(devices.size()),
                devices[0].name().c_str());
    CheckPipeline(devices[0]);
}

void CheckAbsent() {
    cl_uint count = 7;
    Expect(clGetPlatformIDs(0, nullptr, &count) == CL_PLATFORM_NOT_FOUND_KHR && count == 0, "no platform");
    Expect(boost::compute::system::platforms().empty(), "no platform through Boost.Compute");

    cl_device_id device = nullptr;
    Expect(clGetDeviceIDs(nullptr, CL_DEVICE_TYPE_ALL, 1, &device, nullptr) == CL_PLATFORM_NOT_FOUND_KHR,
           "device query fails");
    cl_int err = CL_SUCCESS;
    Expect(clCreateContext(nullptr, 1, &device, nullptr, nullptr, &err) == nullptr && err == CL_PLATFORM_NOT_FOUND_KHR,
           "context creation fails with its code");
    Expect(clCreateBuffer(nullptr, CL_MEM_READ_WRITE, 16, nullptr, nullptr) == nullptr,
           "object creation without a code pointer fails");
    Expect(clReleaseContext(nullptr) == CL_PLATFORM_NOT_FOUND_KHR, "release fails");
    std::printf("OpenCL absent: no platform, calls fail cleanly\n");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode != "present" && mode != "absent") {
        std::fprintf(stderr, "usage: %s present|absent\n", argv[0]);
        return 2;
    }
    try {
        mode == "present" ? CheckPresent() : CheckAbsent();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "OpenCL run-time check failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
