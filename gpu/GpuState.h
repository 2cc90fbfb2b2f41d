// The OpenCL device, context and built program that every GPU render shares.
// Made once at global setup and only read afterwards, so renders on several
// threads may use one state at the same time.
#pragma once

#include <boost/compute/context.hpp>
#include <boost/compute/device.hpp>
#include <boost/compute/program.hpp>

#include "gpu/ProgramSource.h"

namespace maculo {

// Any member may be null: CreateGpuState keeps what it made before a failure.
struct GpuState {
    boost::compute::device device;
    boost::compute::context context;
    boost::compute::program program;  // present but unbuilt after a failed build
};

// The first device, in platform order and then device order, whose type has
// the GPU bit. Throws std::runtime_error("OpenCL device not found.") when
// there is none, boost::compute::opencl_error when a query fails.
boost::compute::device FindGpuDevice();

// FindGpuDevice, a context on that device and the pattern program built for
// it. Never throws: a failure's message, and the build log when a program
// exists, go to standard output, and the objects made before it are returned.
GpuState CreateGpuState() noexcept;

// The same on a given device (of any type) and with a given program text;
// lets tests run the pipeline on a processor device and exercise a failed build.
GpuState CreateGpuStateFor(const boost::compute::device& device, const char* source = kPatternProgramSource) noexcept;

}  // namespace maculo
