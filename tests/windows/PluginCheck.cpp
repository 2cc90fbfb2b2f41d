// Drives the built plug-in binary through minihost as the host would (on
// Windows after reading its property list resource): discovery, about, global
// and GPU device setup, parameters, a "Parameter Mode" switch and back, then
// a noise frame rendered at 8, 16 and 32 bits and once with the GPU requested;
// then it unloads the plug-in, whose OpenMP workers are still parked in it,
// loads it again and renders once more. Prints a checksum line per frame,
// which the Linux and Windows builds must print alike. Exits with 1 at the
// first failed check.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "controls/ControlTable.h"
#include "minihost/Host.h"
#include "minihost/PluginLibrary.h"
#include "resources/PluginInfo.h"

#ifdef _WIN32
#include <windows.h>

#include <memory>
#include <type_traits>

#include "resources/PropertyList.h"
#else
#include <dlfcn.h>
#endif

namespace maculo::check {
namespace {

using minihost::Host;

constexpr AEGP_PluginID kPluginId = 42;  // the host's id for the plug-in, which its AEGP calls must name

struct Depth {
    int bits;
    PF_PixelFormat format;
    int bytesPerPixel;
    // The frame's checksum at the default controls, fixed here, so that a change
    // of the picture shows even when the scalar model changes with the code.
    uint64_t golden;
};
constexpr Depth kDepths[] = {{8, PF_PixelFormat_ARGB32, 4, 0x5f5513c89aaa8ec4},
                             {16, PF_PixelFormat_ARGB64, 8, 0x88cdab1182b084c3},
                             {32, PF_PixelFormat_ARGB128, 16, 0xf58dbe7b7b3340d8}};

// Odd sizes, so that no row or column count is a multiple of a vector width
// or of the thread count.
constexpr A_long kFrameWidth = 67;
constexpr A_long kFrameHeight = 41;

void Expect(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

void ExpectCode(PF_Err err, const std::string& what) {
    Expect(err == PF_Err_NONE, what + " returned " + std::to_string(err));
}

// Opaque colour noise, the same picture in every depth: each colour channel
// is a hashed 8-bit value, widened to the depth's full scale.
void FillNoise(PF_EffectWorld& world, const Depth& depth) {
    const int channelBytes = depth.bytesPerPixel / 4;
    for (uint32_t y = 0; y < static_cast<uint32_t>(world.height); ++y) {
        for (uint32_t x = 0; x < static_cast<uint32_t>(world.width); ++x) {
            for (uint32_t c = 0; c < 4; ++c) {
                const uint32_t h = (x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ c * 0xC2B2AE3Du) * 0x2C1B3C6Du;
                const uint8_t value = c == 0 ? 255 : static_cast<uint8_t>(h >> 24);
                const uint16_t wide = static_cast<uint16_t>(value * 32768u / 255u);
                const float real = static_cast<float>(value) / 255.0f;
                const void* channel = depth.bits == 8    ? static_cast<const void*>(&value)
                                      : depth.bits == 16 ? static_cast<const void*>(&wide)
                                                         : &real;
                std::memcpy(reinterpret_cast<char*>(world.data) + y * world.rowbytes + x * depth.bytesPerPixel +
                                c * channelBytes,
                            channel, channelBytes);
            }
        }
    }
}

// FNV-1a over the picture's bytes, row by row, leaving out row padding.
uint64_t Checksum(const PF_EffectWorld& world, const Depth& depth) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (A_long y = 0; y < world.height; ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(world.data) + static_cast<size_t>(y) * world.rowbytes;
        for (size_t i = 0; i < static_cast<size_t>(world.width) * depth.bytesPerPixel; ++i) {
            hash = (hash ^ row[i]) * 0x100000001B3u;
        }
    }
    return hash;
}

// The property list as the host finds it in the Windows plug-in: resource type
// "PIPL", id 16000, language 1033, read through the resource API from the
// library mapped as data, before any of its code runs. Only the Windows
// binary carries resources; the bytes themselves are tested on every system.
void CheckPropertyListResource([[maybe_unused]] const std::string& path) {
#ifdef _WIN32
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> image(
        LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE), &FreeLibrary);
    Expect(image != nullptr, "cannot map " + path + ": error " + std::to_string(GetLastError()));
    HRSRC resource =
        FindResourceExA(image.get(), "PIPL", MAKEINTRESOURCEA(kPropertyListResourceId), kPropertyListLanguage);
    Expect(resource != nullptr, "no PIPL resource 16000 in language 1033");
    const DWORD size = SizeofResource(image.get(), resource);
    HGLOBAL loaded = LoadResource(image.get(), resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    Expect(bytes != nullptr, "the PIPL resource cannot be loaded");
    Expect(size == kPropertyList.size() && std::memcmp(bytes, kPropertyList.data(), size) == 0,
           "the PIPL resource (" + std::to_string(size) + " bytes) differs from the property list");
#endif
}

void CheckDiscovery(const minihost::PluginLibrary& plugin) {
    minihost::Registration registration;
    ExpectCode(minihost::Discover(plugin.PluginDataEntry(), registration), "registration");
    Expect(registration.calls == 1 && registration.name == kEffectName && registration.matchName == kMatchName &&
               registration.category == kRegistrationCategory && registration.entryPointName == kEntryPointName,
           "registration names");
}

void CheckSetup(Host& host) {
    ExpectCode(host.Send(PF_Cmd_ABOUT), "about");
    const std::string about = host.OutData().return_msg;
    const std::string name = std::string(kEffectName) + " v" + std::to_string(kVersionMajor) + "." +
                             std::to_string(kVersionMinor);
    Expect(about.rfind(name + "\r", 0) == 0, "about text: " + about);
    // For the scripts, which compare it with the project's version.
    std::printf("about %s\n", name.c_str());

    ExpectCode(host.Send(PF_Cmd_GLOBAL_SETUP), "global setup");
    const PF_OutData& out = host.OutData();
    Expect(out.my_version == kPluginVersion && out.out_flags == kGlobalOutFlags && out.out_flags2 == kGlobalOutFlags2,
           "version and flags declared at global setup");
    Expect(host.InData().global_data != nullptr, "global data handed over");

    PF_GPUDeviceSetupInput input{PF_GPU_Framework_OPENCL, 0};
    PF_GPUDeviceSetupOutput output{};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    ExpectCode(host.Send(PF_Cmd_GPU_DEVICE_SETUP, &extra), "GPU device setup");
    Expect(out.out_flags2 == PF_OutFlag2_SUPPORTS_GPU_RENDER_F32, "GPU device setup offers float GPU frames alone");

    ExpectCode(host.Send(PF_Cmd_PARAMS_SETUP), "parameter setup");
    Expect(host.InData().num_params == kParamCount, "parameter count");
}

// "Parameter Mode" Detail shows its controls and hides Simple's, Simple
// reverts that, and the controls both show are left alone; the AEGP calls
// name the plug-in's id.
void CheckVisibilitySwitch(Host& host) {
    for (const PF_ParamValue mode : {2, 1}) {  // Detail, then Simple
        host.Params().SetValue(kParamMode, mode);
        PF_UserChangedParamExtra extra{kParamMode};
        ExpectCode(host.Send(PF_Cmd_USER_CHANGED_PARAM, &extra), "parameter mode switch");
        for (const Control& control : kControls) {
            const std::optional<bool> hidden = host.Aegp().Hidden(control.index);
            const bool hide = (control.shownIn == ShownIn::kSimple) != (mode == 1);
            Expect(control.shownIn == ShownIn::kAlways ? !hidden.has_value() : hidden == hide,
                   std::string(control.label) + " shown or hidden by the mode switch");
        }
    }
    for (const minihost::AegpCall& call : host.Aegp().Calls()) {
        Expect(call.pluginId == kPluginId || (call.function != minihost::AegpFunction::kGetNewEffectForEffect &&
                                              call.function != minihost::AegpFunction::kGetNewEffectStreamByIndex),
               "an AEGP call names another plug-in's id");
    }
}

uint64_t RenderFrame(Host& host, Depth depth, PF_GPU_Framework gpu) {
    const std::string name = std::to_string(depth.bits) + "-bit frame";
    PF_EffectWorld* layer = host.Worlds().MakeWorld(kFrameWidth, kFrameHeight, depth.format, 5);
    PF_EffectWorld* output = host.Worlds().MakeWorld(kFrameWidth, kFrameHeight, depth.format, 2);
    FillNoise(*layer, depth);
    const uint64_t untouched = Checksum(*output, depth);
    host.Render().SetLayer(layer);
    host.Render().SetOutput(output);

    minihost::Frame frame(host.Render(), minihost::Frame::WholeFrame(kFrameWidth, kFrameHeight), gpu,
                          static_cast<int16_t>(depth.bits));
    ExpectCode(host.Send(PF_Cmd_SMART_PRE_RENDER, frame.PreRenderExtra()), name + " pre-render");
    ExpectCode(host.Send(PF_Cmd_SMART_RENDER, frame.RenderExtra()), name + " render");
    Expect(host.Worlds().LiveEffectWorlds() == 0, name + " working images released");
    const uint64_t sum = Checksum(*output, depth);
    Expect(sum != untouched, name + " written");
    return sum;
}

// Whether the library is still mapped after the host let it go, as it must
// be for the OpenMP workers parked in it: the Windows library pins itself,
// the Linux one is linked -z nodelete.
bool StillLoaded(const std::string& path) {
#ifdef _WIN32
    return GetModuleHandleA(path.substr(path.find_last_of("/\\") + 1).c_str()) != nullptr;
#else
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
#endif
}

void Run(const std::string& path) {
    CheckPropertyListResource(path);
    uint64_t first = 0;
    {
        const minihost::PluginLibrary plugin(path);
        CheckDiscovery(plugin);
        Host host;
        host.SetEntry(plugin.EffectMain());
        host.Aegp().SetPluginId(kPluginId);
        CheckSetup(host);
        CheckVisibilitySwitch(host);
        for (const Depth& depth : kDepths) {
            const uint64_t sum = RenderFrame(host, depth, PF_GPU_Framework_NONE);
            std::printf("frame %d-bit %016llx\n", depth.bits, static_cast<unsigned long long>(sum));
            Expect(sum == depth.golden, std::to_string(depth.bits) + "-bit frame differs from its golden checksum");
            if (depth.bits == 8) first = sum;
        }
        // Whether or not a GPU is usable here, the frame must come out, and the
        // same as the processor's.
        const uint64_t gpu = RenderFrame(host, kDepths[2], PF_GPU_Framework_OPENCL);
        std::printf("frame 32-bit-gpu-requested %016llx\n", static_cast<unsigned long long>(gpu));
        ExpectCode(host.Send(PF_Cmd_GLOBAL_SETDOWN), "global setdown");
    }
    Expect(StillLoaded(path), "the plug-in left memory when the host unloaded it");

    const minihost::PluginLibrary again(path);
    Host host;
    host.SetEntry(again.EffectMain());
    ExpectCode(host.Send(PF_Cmd_GLOBAL_SETUP), "global setup after reloading");
    ExpectCode(host.Send(PF_Cmd_PARAMS_SETUP), "parameter setup after reloading");
    Expect(RenderFrame(host, kDepths[0], PF_GPU_Framework_NONE) == first, "8-bit frame after reloading");
}

}  // namespace
}  // namespace maculo::check

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PLUGIN\n", argv[0]);
        return 2;
    }
    try {
        maculo::check::Run(argv[1]);
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "plug-in check failed: %s\n", error.what());
        return 1;
    }
    std::printf("plug-in check passed\n");
    return 0;
}
