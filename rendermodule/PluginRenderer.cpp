#include "rendermodule/PluginRenderer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gpu/GpuState.h"
#include "plugin/GlobalData.h"
#include "renderlib/CliError.h"
#include "renderlib/InstallLayout.h"
#include "renderlib/QuietStream.h"
#include "resources/PluginInfo.h"

namespace maculo {
namespace {

constexpr A_u_long kTimeScale = 24;  // frames of the sequence at 24 per second

minihost::EffectSession& LoadSession(const std::string& pluginPath, bool gpu) {
    // Without --gpu no frame goes to a GPU: the OpenCL loader is shown no
    // drivers, so the plug-in's set-up finds none at once instead of
    // starting every driver installed (PoCL's start alone takes about a
    // seventh of a second). The loader reads the setting on its first use.
    if (!gpu) setenv("OCL_ICD_VENDORS", "/nonexistent", 1);
    // The plug-in writes OpenCL set-up failures to standard output, where
    // they would mix with the renderer's own; what it set up is read from its
    // global data instead.
    const QuietStream quiet(stdout);
    try {
        // Never unloaded, as in a host: the effect keeps its GPU state until
        // the process ends. One host, and so one session, per process.
        static minihost::EffectSession* session = nullptr;
        session = new minihost::EffectSession(pluginPath);
        return *session;
    } catch (const std::exception& e) {
        // The loader names the file too, more than once; the line names it once.
        std::string reason = e.what();
        for (const std::string& repeated : {"cannot load " + pluginPath + ": ", pluginPath + ": "})
            for (size_t at = reason.find(repeated); at != std::string::npos; at = reason.find(repeated))
                reason.erase(at, repeated.size());
        throw Failure("cannot load the plug-in " + pluginPath + ": " + reason);
    }
}

// Whether the plug-in is of this very build, whose global data has the
// layout this program knows.
bool IsThisBuild(minihost::EffectSession& session) {
    return session.Registered().matchName == kMatchName && session.GetHost().OutData().my_version == kPluginVersion;
}

// The GPU state the global setup of a plug-in of this build made, which its
// GPU renders use; null where it kept none.
const GpuState* PluginGpuState(minihost::EffectSession& session) {
    minihost::Host& host = session.GetHost();
    const PF_Handle handle = host.InData().global_data;
    if (handle == nullptr || *handle == nullptr) return nullptr;
    return static_cast<const GlobalData*>(*handle)->gpuState;
}

PF_PixelFormat FormatOf(int32_t depth) {
    if (depth == 8) return PF_PixelFormat_ARGB32;
    if (depth == 16) return PF_PixelFormat_ARGB64;
    return PF_PixelFormat_ARGB128;
}

void CopyRows(const uint8_t* from, size_t fromStride, uint8_t* to, size_t toStride, size_t rowBytes, int32_t rows) {
    for (int32_t y = 0; y < rows; ++y) std::memcpy(to + y * toStride, from + y * fromStride, rowBytes);
}

}  // namespace

PluginRenderer::PluginRenderer(const std::string& pluginPath, bool gpu, int32_t downsample)
    : session_(LoadSession(pluginPath, gpu)), whatGpu_(gpu ? PF_GPU_Framework_OPENCL : PF_GPU_Framework_NONE) {
    // Another plug-in's global data cannot be read: it may keep its state anyhow.
    if (gpu)
        gpuReport_ = IsThisBuild(session_) ? DescribeGpuState(PluginGpuState(session_))
                                           : "the device that renders the frames is unknown: the plug-in is not "
                                             "this build's Maculo Pattern";
    // Padded rows and marked memory only help tests catch effects that
    // confuse width and row bytes or read what they never wrote; here they
    // would only cost memory and time.
    session_.GetHost().Worlds().SetRowPadding(0);
    session_.GetHost().Worlds().SetMarkUnwritten(false);
    session_.GetHost().SetDownsample(1, A_u_long(downsample));
    if (gpu && session_.SetUpGpu(whatGpu_) != PF_Err_NONE) throw Failure("the plug-in refused the GPU set-up");
}

std::string PluginRenderer::About() { return session_.About(); }

PF_Err PluginRenderer::Render(const FrameImage& source, const ParamValues& values, int32_t index,
                              const minihost::ProgressFunction& progress, FrameImage& result) {
    minihost::Host& host = session_.GetHost();
    // The host's call record serves tests; over a long sequence it would only grow.
    host.Log().Clear();
    for (const Control& row : kControls)
        if (CarriesValue(row)) host.Params().SetValue(row.index, values[row.index]);
    // The effect shows and hides its controls when the user switches modes.
    if (values[kParamMode] != mode_) {
        mode_ = values[kParamMode];
        if (const PF_Err err = session_.ParamChanged(kParamMode)) return err;
    }
    host.SetTime(index, 1, kTimeScale);
    host.Params().SetProgress(progress);

    const PF_PixelFormat format = FormatOf(source.depth);
    // The frames of an input sequence may differ in size and depth.
    if (layer_ == nullptr || layer_->width != source.width || layer_->height != source.height || format != format_) {
        if (layer_ != nullptr) {
            host.Worlds().DisposeHostWorld(layer_);
            host.Worlds().DisposeHostWorld(output_);
        }
        layer_ = host.Worlds().MakeWorld(source.width, source.height, format);
        output_ = host.Worlds().MakeWorld(source.width, source.height, format);
        format_ = format;
    }
    CopyRows(source.Bytes(), source.RowBytes(), reinterpret_cast<uint8_t*>(layer_->data), layer_->rowbytes,
             source.RowBytes(), source.height);
    const PF_Err err = session_.RenderFrame(*layer_, *output_, int16_t(source.depth), whatGpu_);
    if (err == PF_Err_NONE) {
        // A result of the same geometry is written over: its memory, faulted
        // in by the frame before, serves again.
        if (result.depth != source.depth || result.width != source.width || result.height != source.height)
            result = MakeFrame(source.depth, source.width, source.height, source.hasAlpha);
        result.hasAlpha = source.hasAlpha;
        CopyRows(reinterpret_cast<const uint8_t*>(output_->data), output_->rowbytes, result.Bytes(), result.RowBytes(),
                 result.RowBytes(), result.height);
    }
    return err;
}

std::string PluginPath(const std::string& given) {
    return given.empty() ? CompanionFile(MACULO_PLUGIN_FILE, MACULO_INSTALLED_PLUGIN) : given;
}

}  // namespace maculo
