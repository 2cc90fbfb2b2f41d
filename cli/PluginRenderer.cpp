#include "cli/PluginRenderer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli/CliError.h"

namespace maculo {
namespace {

constexpr A_u_long kTimeScale = 24;  // frames of the sequence at 24 per second

// The plug-in reports its OpenCL set-up on standard output, where it would
// mix with the renderer's own output. Those lines matter only when a GPU
// render is asked for: they then go to standard error, otherwise nowhere.
class PluginSetupOutput {
public:
    explicit PluginSetupOutput(bool show) : saved_(dup(STDOUT_FILENO)) {
        std::fflush(stdout);
        const int target = show ? dup(STDERR_FILENO) : open("/dev/null", O_WRONLY);
        if (target >= 0) {
            dup2(target, STDOUT_FILENO);
            close(target);
        }
    }
    ~PluginSetupOutput() {
        std::cout.flush();
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    PluginSetupOutput(const PluginSetupOutput&) = delete;
    PluginSetupOutput& operator=(const PluginSetupOutput&) = delete;

private:
    int saved_;
};

minihost::EffectSession& LoadSession(const std::string& pluginPath, bool gpu) {
    const PluginSetupOutput setupOutput(gpu);
    try {
        // Never unloaded, as in a host: the effect keeps its GPU state until
        // the process ends. One host, and so one session, per process.
        static minihost::EffectSession* session = nullptr;
        session = new minihost::EffectSession(pluginPath);
        return *session;
    } catch (const std::exception& e) {
        throw Failure("cannot load the plug-in " + pluginPath + ": " + e.what());
    }
}

PF_PixelFormat FormatOf(int32_t depth) {
    if (depth == 8) return PF_PixelFormat_ARGB32;
    if (depth == 16) return PF_PixelFormat_ARGB64;
    return PF_PixelFormat_ARGB128;
}

void CopyRows(const uint8_t* from, size_t fromStride, uint8_t* to, size_t toStride, size_t rowBytes,
              int32_t rows) {
    for (int32_t y = 0; y < rows; ++y) std::memcpy(to + y * toStride, from + y * fromStride, rowBytes);
}

}  // namespace

PluginRenderer::PluginRenderer(const std::string& pluginPath, bool gpu, int32_t downsample)
    : session_(LoadSession(pluginPath, gpu)), whatGpu_(gpu ? PF_GPU_Framework_OPENCL : PF_GPU_Framework_NONE) {
    session_.GetHost().SetDownsample(1, A_u_long(downsample));
    if (gpu && session_.SetUpGpu(whatGpu_) != PF_Err_NONE) throw Failure("the plug-in refused the GPU set-up");
}

std::string PluginRenderer::About() { return session_.About(); }

PF_Err PluginRenderer::Render(const FrameImage& source, const ParamValues& values, int32_t index,
                              const minihost::ProgressFunction& progress, FrameImage& result) {
    minihost::Host& host = session_.GetHost();
    for (const ControlRow& row : kControls)
        if (CarriesValue(row)) host.Params().SetValue(row.index, values[row.index]);
    // The effect shows and hides its controls when the user switches modes.
    if (values[kParamMode] != mode_) {
        mode_ = values[kParamMode];
        if (const PF_Err err = session_.ParamChanged(kParamMode)) return err;
    }
    host.SetTime(index, 1, kTimeScale);
    host.Params().SetProgress(progress);

    const PF_PixelFormat format = FormatOf(source.depth);
    if (layer_ == nullptr) {
        layer_ = host.Worlds().MakeWorld(source.width, source.height, format);
        output_ = host.Worlds().MakeWorld(source.width, source.height, format);
    }
    CopyRows(source.Bytes(), source.RowBytes(), reinterpret_cast<uint8_t*>(layer_->data), layer_->rowbytes,
             source.RowBytes(), source.height);
    const PF_Err err = session_.RenderFrame(*layer_, *output_, int16_t(source.depth), whatGpu_);
    if (err == PF_Err_NONE) {
        result = MakeFrame(source.depth, source.width, source.height, source.hasAlpha);
        CopyRows(reinterpret_cast<const uint8_t*>(output_->data), output_->rowbytes, result.Bytes(),
                 result.RowBytes(), result.RowBytes(), result.height);
    }
    return err;
}

std::string DefaultPluginPath() {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (program.parent_path() / MACULO_PLUGIN_FILE).string();
}

}  // namespace maculo
