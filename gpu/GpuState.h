// The OpenCL device, context and built program that every GPU render shares.
// Made once at global setup and only read afterwards, so renders on several
// threads may use one state at the same time.
#pragma once

#include <boost/compute/context.hpp>
#include <boost/compute/device.hpp>
#include <boost/compute/program.hpp>
#include <string>

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

// Whether a state holds all three objects and the program built, so that
// GPU renders may use it; renders on an incomplete state go to the processor.
bool IsComplete(const GpuState& state) noexcept;

// One line for the user on what GPU renders with `state` run on: its device,
// or why the processor renders them instead. Null means no state was kept.
std::string DescribeGpuState(const GpuState* state);

// The same on a given device (of any type) and with a given program text;
// lets tests run the pipeline on a processor device and exercise a failed build.
GpuState CreateGpuStateFor(const boost::compute::device& device, const char* source = kPatternProgramSource) noexcept;

}  // namespace maculo
