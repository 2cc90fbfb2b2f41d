// OpenCL entry points of the Windows build.
//
// The plug-in must load and render on machines without any OpenCL driver, so
// it imports nothing from OpenCL.dll. Instead, every entry point that
// Boost.Compute calls is defined here and forwards to OpenCL.dll, loaded from
// the system folder on first use. When the library is missing, or lacks any of
// these entry points, the runtime counts as absent: clGetPlatformIDs reports
// no platform (so the GPU state stays empty and frames render on the
// processor) and every other call fails with the same error code.

#include <windows.h>

#include <CL/cl.h>
#include <CL/cl_ext.h>

#include <boost/preprocessor/repetition/enum.hpp>
#include <boost/preprocessor/repetition/enum_params.hpp>

#include <array>
#include <cstddef>
#include <tuple>
#include <type_traits>

// Entry points forwarded generically: name and number of parameters. The
// parameter types are taken from the declarations in CL/cl.h. When the GPU
// code comes to use another one, the Windows link names it as undefined; it
// then gets a row here.
#define MACULO_OPENCL_FORWARDED(X)  \
    X(clGetPlatformInfo, 5)         \
    X(clGetDeviceIDs, 5)            \
    X(clGetDeviceInfo, 5)           \
    X(clRetainDevice, 1)            \
    X(clReleaseDevice, 1)           \
    X(clCreateContext, 6)           \
    X(clRetainContext, 1)           \
    X(clReleaseContext, 1)          \
    X(clGetContextInfo, 5)          \
    X(clCreateCommandQueue, 4)      \
    X(clRetainCommandQueue, 1)      \
    X(clReleaseCommandQueue, 1)     \
    X(clGetCommandQueueInfo, 5)     \
    X(clCreateBuffer, 5)            \
    X(clRetainMemObject, 1)         \
    X(clReleaseMemObject, 1)        \
    X(clGetMemObjectInfo, 5)        \
    X(clCreateProgramWithSource, 5) \
    X(clRetainProgram, 1)           \
    X(clReleaseProgram, 1)          \
    X(clBuildProgram, 6)            \
    X(clGetProgramInfo, 5)          \
    X(clGetProgramBuildInfo, 6)     \
    X(clCreateKernel, 3)            \
    X(clRetainKernel, 1)            \
    X(clReleaseKernel, 1)           \
    X(clSetKernelArg, 4)            \
    X(clGetKernelInfo, 5)           \
    X(clRetainEvent, 1)             \
    X(clReleaseEvent, 1)            \
    X(clFinish, 1)                  \
    X(clEnqueueReadBuffer, 9)       \
    X(clEnqueueWriteBuffer, 9)      \
    X(clEnqueueCopyBuffer, 9)       \
    X(clEnqueueNDRangeKernel, 9)

namespace maculo {
namespace {

// What the standard OpenCL loader answers when no platform is installed.
constexpr cl_int kNoRuntime = CL_PLATFORM_NOT_FOUND_KHR;

enum Entry : std::size_t {
    kGetPlatformIDs,
#define MACULO_ENTRY_INDEX(name, arity) k_##name,
    MACULO_OPENCL_FORWARDED(MACULO_ENTRY_INDEX)
#undef MACULO_ENTRY_INDEX
        kEntryCount
};

constexpr std::array<const char*, kEntryCount> kEntryNames = {"clGetPlatformIDs",
#define MACULO_ENTRY_NAME(name, arity) #name,
                                                              MACULO_OPENCL_FORWARDED(MACULO_ENTRY_NAME)
#undef MACULO_ENTRY_NAME
};

struct Runtime {
    std::array<void*, kEntryCount> entries{};
    bool present = false;
};

Runtime LoadRuntime() {
    // Only the system folder: a stray OpenCL.dll beside the host's project
    // or in its working folder must not be picked up.
    HMODULE library = LoadLibraryExW(L"OpenCL.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr) {
        return {};
    }
    Runtime runtime;
    for (std::size_t i = 0; i < kEntryCount; ++i) {
        runtime.entries[i] = reinterpret_cast<void*>(GetProcAddress(library, kEntryNames[i]));
        if (runtime.entries[i] == nullptr) {
            FreeLibrary(library);
            return {};
        }
    }
    // Kept loaded for the life of the process, like the GPU state built on it.
    runtime.present = true;
    return runtime;
}

const Runtime& TheRuntime() {
    static const Runtime runtime = LoadRuntime();
    return runtime;
}

template <class Function>
struct Forwarder;

template <class R, class... Args>
struct Forwarder<R(Args...)> {
    using Result = R;
    template <std::size_t I>
    using Arg = std::tuple_element_t<I, std::tuple<Args...>>;

    static Result Call(Entry entry, Args... args) {
        const Runtime& runtime = TheRuntime();
        if (runtime.present) {
            return reinterpret_cast<Result(CL_API_CALL*)(Args...)>(runtime.entries[entry])(args...);
        }
        if constexpr (std::is_pointer_v<Result>) {
            // Calls that create an object report their error through the
            // last parameter.
            using Last = Arg<sizeof...(Args) - 1>;
            if constexpr (std::is_same_v<Last, cl_int*>) {
                if (Last code = std::get<sizeof...(Args) - 1>(std::tie(args...))) {
                    *code = kNoRuntime;
                }
            }
            return nullptr;
        } else {
            return kNoRuntime;
        }
    }
};

}  // namespace
}  // namespace maculo

extern "C" CL_API_ENTRY cl_int CL_API_CALL clGetPlatformIDs(cl_uint num_entries, cl_platform_id* platforms,
                                                            cl_uint* num_platforms) {
    using maculo::Forwarder;
    if (maculo::TheRuntime().present) {
        return Forwarder<decltype(::clGetPlatformIDs)>::Call(maculo::kGetPlatformIDs, num_entries, platforms,
                                                             num_platforms);
    }
    if (num_platforms != nullptr) {
        *num_platforms = 0;
    }
    return maculo::kNoRuntime;
}

// One forwarding definition per entry point of the table above.
#define MACULO_STUB_PARAM(z, i, name) maculo::Forwarder<decltype(::name)>::Arg<i> a##i
#define MACULO_STUB(name, arity)                                                                            \
    extern "C" CL_API_ENTRY maculo::Forwarder<decltype(::name)>::Result CL_API_CALL name(                   \
        BOOST_PP_ENUM(arity, MACULO_STUB_PARAM, name)) {                                                    \
        return maculo::Forwarder<decltype(::name)>::Call(maculo::k_##name, BOOST_PP_ENUM_PARAMS(arity, a)); \
    }
MACULO_OPENCL_FORWARDED(MACULO_STUB)
