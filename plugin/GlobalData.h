// What the plug-in keeps for its whole load, in the host's global-data handle.
#pragma once

#include "hostapi/HostApi.h"

namespace maculo {

struct GpuState;

struct GlobalData {
    AEGP_PluginID pluginId;  // from the AEGP registration; unset in Premiere hosts
    GpuState* gpuState;      // made once at global setup, read-only afterwards
};

}  // namespace maculo
