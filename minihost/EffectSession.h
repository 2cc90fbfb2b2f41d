// One effect applied in our host, driven the way the host drives it:
// discovery through the registration entry, global setup and parameter setup
// once, then any number of frames, each a smart pre-render and a smart
// render whose pre-render data is released when the frame is done.
#pragma once

#include <string>

#include "hostapi/HostApi.h"
#include "minihost/Host.h"
#include "minihost/PluginLibrary.h"

namespace maculo::minihost {

class EffectSession {
public:
    // Loads the effect's library and sets the effect up. Throws
    // std::runtime_error saying what failed.
    explicit EffectSession(const std::string& libraryPath);

    Host& GetHost() { return host_; }
    const Registration& Registered() const { return registration_; }

    // The effect's about text.
    std::string About();
    // The user changed parameter `index` (the effect supervises some).
    PF_Err ParamChanged(PF_ParamIndex index);
    // Offers the effect a GPU framework, as the host does before GPU frames.
    PF_Err SetUpGpu(PF_GPU_Framework framework);
    // Renders the whole of `output` from `layer` at the host's current time,
    // downsampling and parameter values.
    PF_Err RenderFrame(PF_EffectWorld& layer, PF_EffectWorld& output, int16_t bitdepth,
                       PF_GPU_Framework whatGpu = PF_GPU_Framework_NONE);
    // The same at `time` and 1/`downsample` resolution. Each frame has its own
    // effect reference and records, so several threads may render at once,
    // as under the host's multi-frame rendering, while nothing else changes
    // the host.
    PF_Err RenderFrameAt(A_long time, A_u_long downsample, PF_EffectWorld& layer, PF_EffectWorld& output,
                         int16_t bitdepth, PF_GPU_Framework whatGpu = PF_GPU_Framework_NONE);

private:
    PluginLibrary library_;
    Host host_;
    Registration registration_;
};

}  // namespace maculo::minihost
