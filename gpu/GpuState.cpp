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
