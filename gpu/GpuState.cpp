#include "gpu/GpuState.h"

#include <boost/compute/system.hpp>
#include <exception>
#include <iostream>
#include <stdexcept>

namespace maculo {
namespace {

namespace bc = boost::compute;

void WriteLine(const char* text) noexcept {
    try {
        std::cout << text << std::endl;
    } catch (...) {
        // Standard output is only a trace; losing it must not fail setup.
    }
}

void WriteBuildLog(const bc::program& program) noexcept {
    try {
        std::cout << program.build_log() << std::endl;
    } catch (...) {
        // A log that cannot be read leaves nothing to show.
    }
}

// Runs the set-up steps under one handler, so that a failing step leaves the
// objects made before it in place and the caller gets no exception.
template <class PickDevice>
GpuState BuildState(PickDevice pickDevice, const char* source) noexcept {
    GpuState state;
    try {
        state.device = pickDevice();
        state.context = bc::context(state.device);
        state.program = bc::program::create_with_source(source, state.context);
        state.program.build();
    } catch (const std::exception& error) {
        WriteLine(error.what());
        if (state.program.get() != nullptr) WriteBuildLog(state.program);
    }
    return state;
}

}  // namespace

bc::device FindGpuDevice() {
    for (const bc::device& device : bc::system::devices()) {
        if ((device.type() & CL_DEVICE_TYPE_GPU) != 0) return device;
    }
    throw std::runtime_error("OpenCL device not found.");
}

bool IsComplete(const GpuState& state) noexcept {
    if (state.device.id() == nullptr || state.context.get() == nullptr || state.program.get() == nullptr) return false;
    try {
        return state.program.get_build_info<cl_build_status>(CL_PROGRAM_BUILD_STATUS, state.device) == CL_BUILD_SUCCESS;
    } catch (const std::exception&) {
        return false;
    }
}

std::string DescribeGpuState(const GpuState* state) {
    constexpr char kProcessor[] = "; the processor renders the frames";
    if (state == nullptr) return std::string("the plug-in kept no OpenCL state") + kProcessor;
    if (state->device.id() == nullptr) return std::string("no OpenCL GPU found") + kProcessor;
    std::string name;
    try {
        name = state->device.name();
    } catch (const std::exception&) {
        name = "an OpenCL GPU that no longer answers";
    }
    if (!IsComplete(*state)) {
        const char* step = state->context.get() == nullptr ? "no context" : "the program did not build";
        return "the plug-in could not set up OpenCL on " + name + " (" + step + ")" + kProcessor;
    }
    return "the OpenCL device " + name + " renders the frames";
}

GpuState CreateGpuState() noexcept {
    return BuildState([] { return FindGpuDevice(); }, kPatternProgramSource);
}

GpuState CreateGpuStateFor(const bc::device& device, const char* source) noexcept {
    return BuildState(
        [&device] {
            // A context on a null device would trip an assertion in Boost.Compute.
            if (device.id() == nullptr) throw std::runtime_error("OpenCL device not found.");
            return device;
        },
        source);
}

}  // namespace maculo
