// The effect's binary, applied in our host and rendering the renderer's frames.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "minihost/EffectSession.h"
#include "renderlib/Controls.h"
#include "renderlib/FrameImage.h"

namespace maculo {

class PluginRenderer {
public:
    // Loads and sets up the effect; throws CliError when that fails. The
    // plug-in's own set-up output is kept from standard output. Without
    // `gpu` the plug-in is shown no OpenCL driver.
    PluginRenderer(const std::string& pluginPath, bool gpu, int32_t downsample);

    std::string About();
    // With a GPU asked for, one line on what renders the frames.
    const std::string& GpuReport() const { return gpuReport_; }

    // Renders frame `index` of the sequence from `source` with the control
    // `values`. `progress` hears the effect's progress and answers non-zero to
    // stop it. Returns the effect's error code; `result` is complete only on
    // 0. A `result` of the source's geometry is written over, not remade.
    PF_Err Render(const FrameImage& source, const ParamValues& values, int32_t index,
                  const minihost::ProgressFunction& progress, FrameImage& result);

private:
    minihost::EffectSession& session_;
    std::string gpuReport_;
    PF_GPU_Framework whatGpu_;
    double mode_ = 1.0;  // the mode the effect last heard of
    PF_EffectWorld* layer_ = nullptr;
    PF_EffectWorld* output_ = nullptr;
    PF_PixelFormat format_ = 0;  // of both worlds
};

// The plug-in library `given` (--plugin), or where none is given the one
// beside this program, as a build leaves it, or else where an install puts
// it relative to the program.
std::string PluginPath(const std::string& given);

}  // namespace maculo
