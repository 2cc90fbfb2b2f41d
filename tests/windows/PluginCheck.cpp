// Drives the built plug-in binary end to end through minihost, as the host
// would: discovery, about, global setup, GPU device setup, parameters, a switch
// of "Parameter Mode" and back, then smart pre-render and render of a noise
// frame with the default controls at 8, 16 and 32 bits, and once more with the
// GPU requested. On Windows it first reads the property list resource the way
// the host does before it loads the library.
//
// Prints one "frame" line with a checksum per frame. The Linux and the
// Windows build of the plug-in must print the same lines: the frames are
// bit-identical on both systems. Exits with 1 at the first failed check.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "minihost/Host.h"
#include "minihost/PluginLibrary.h"
#include "resources/PluginInfo.h"
#include "tests/windows/NoiseFrame.h"
#include "tests/windows/PropertyListResource.h"

namespace maculo::check {
namespace {

using minihost::Host;

// The effect's controls as the host numbers them (0 is the input layer).
constexpr A_long kParamCount = 13;
constexpr PF_ParamIndex kParamMode = 1;
constexpr PF_ParamIndex kParamWidth = 4;   // shown in the Simple mode
constexpr PF_ParamIndex kParamRadius = 6;  // the blur radius, shown in the Detail mode
constexpr double kModeSimple = 1;
constexpr double kModeDetail = 2;

struct CheckFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Expect(bool ok, const std::string& what) {
    if (!ok) throw CheckFailure(what);
}

void ExpectCode(PF_Err err, const std::string& what) {
    Expect(err == PF_Err_NONE, what + " returned " + std::to_string(err));
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
    Expect(about.rfind(std::string(kEffectName) + " v1.1\r", 0) == 0, "about text: " + about);

    ExpectCode(host.Send(PF_Cmd_GLOBAL_SETUP), "global setup");
    const PF_OutData& out = host.OutData();
    Expect(out.my_version == kPluginVersion && out.out_flags == kGlobalOutFlags &&
               out.out_flags2 == kGlobalOutFlags2,
           "version and flags declared at global setup");
    Expect(host.InData().global_data != nullptr, "global data handed over");

    PF_GPUDeviceSetupInput input{PF_GPU_Framework_OPENCL, 0};
    PF_GPUDeviceSetupOutput output{};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    ExpectCode(host.Send(PF_Cmd_GPU_DEVICE_SETUP, &extra), "GPU device setup");

    ExpectCode(host.Send(PF_Cmd_PARAMS_SETUP), "parameter setup");
    Expect(host.InData().num_params == kParamCount, "parameter count");
}

// "Parameter Mode" Detail shows the detail controls and hides "Width";
// Simple reverts that.
void CheckVisibilitySwitch(Host& host) {
    for (const auto& [mode, widthHidden] : {std::pair{kModeDetail, true}, std::pair{kModeSimple, false}}) {
        host.Params().SetValue(kParamMode, mode);
        PF_UserChangedParamExtra extra{kParamMode};
        ExpectCode(host.Send(PF_Cmd_USER_CHANGED_PARAM, &extra), "parameter mode switch");
        Expect(host.Aegp().Hidden(kParamWidth) == widthHidden && host.Aegp().Hidden(kParamRadius) == !widthHidden,
               "controls shown and hidden by the mode switch");
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

void CheckFrames(Host& host) {
    for (const Depth& depth : kDepths) {
        const uint64_t sum = RenderFrame(host, depth, PF_GPU_Framework_NONE);
        std::printf("frame %d-bit %016llx\n", depth.bits, static_cast<unsigned long long>(sum));
    }
    // Whether or not a GPU is usable here, the frame must come out, and the
    // same as the processor's.
    const uint64_t gpu = RenderFrame(host, kDepths[2], PF_GPU_Framework_OPENCL);
    std::printf("frame 32-bit-gpu-requested %016llx\n", static_cast<unsigned long long>(gpu));
}

void Run(const std::string& path) {
    CheckPropertyListResource(path);
    const minihost::PluginLibrary plugin(path);
    CheckDiscovery(plugin);
    Host host;
    host.SetEntry(plugin.EffectMain());
    CheckSetup(host);
    CheckVisibilitySwitch(host);
    CheckFrames(host);
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
