#include "cli/PluginRenderer.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli/CliError.h"
#include "gpu/GpuState.h"

namespace maculo {
namespace {

constexpr A_u_long kTimeScale = 24;  // frames of the sequence at 24 per second

// The plug-in reports a failed OpenCL set-up on standard output, where it
// would mix with the renderer's own output. Its lines are caught in a file
// for the GPU report and otherwise dropped.
class PluginSetupOutput {
public:
    PluginSetupOutput() : saved_(dup(STDOUT_FILENO)), caught_(std::tmpfile()) {
        std::fflush(stdout);
        if (caught_ != nullptr) dup2(fileno(caught_), STDOUT_FILENO);
    }
    ~PluginSetupOutput() {
        Restore();
        if (caught_ != nullptr) std::fclose(caught_);
    }
    PluginSetupOutput(const PluginSetupOutput&) = delete;
    PluginSetupOutput& operator=(const PluginSetupOutput&) = delete;

    // Puts standard output back and answers the first line the plug-in wrote.
    std::string FirstLine() {
        Restore();
        char line[256] = "";
        if (caught_ == nullptr) return "";
        std::rewind(caught_);
        if (std::fgets(line, sizeof line, caught_) == nullptr) return "";
        return std::string(line, strcspn(line, "\r\n"));
    }

private:
    void Restore() {
        std::cout.flush();
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
            saved_ = -1;
        }
    }

    int saved_;
    std::FILE* caught_;
};

minihost::EffectSession& LoadSession(const std::string& pluginPath, std::string& setupFailure) {
    PluginSetupOutput setupOutput;
    try {
        // Never unloaded, as in a host: the effect keeps its GPU state until
        // the process ends. One host, and so one session, per process.
        static minihost::EffectSession* session = nullptr;
        session = new minihost::EffectSession(pluginPath);
        setupFailure = setupOutput.FirstLine();
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

// What a GPU render will run on: the plug-in takes the first OpenCL GPU, and
// falls back to the processor without one or when it could not set it up.
std::string DescribeGpu(const std::string& setupFailure) {
    std::string device;
    try {
        device = FindGpuDevice().name();
    } catch (const std::exception&) {
        // No platform or no GPU: the plug-in found none either.
    }
    if (device.empty()) return "no OpenCL GPU found; the processor renders the frames";
    if (!setupFailure.empty())
        return "the plug-in could not set up OpenCL on " + device + " (" + setupFailure +
               "); the processor renders the frames";
    return "the OpenCL device " + device + " renders the frames";
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
    : session_(LoadSession(pluginPath, setupFailure_)),
      whatGpu_(gpu ? PF_GPU_Framework_OPENCL : PF_GPU_Framework_NONE) {
    if (gpu) gpuReport_ = DescribeGpu(setupFailure_);
    // Padded rows only help tests catch effects that confuse width and row
    // bytes; here they would only cost memory.
    session_.GetHost().Worlds().SetRowPadding(0);
    session_.GetHost().SetDownsample(1, A_u_long(downsample));
    if (gpu && session_.SetUpGpu(whatGpu_) != PF_Err_NONE) throw Failure("the plug-in refused the GPU set-up");
}

std::string PluginRenderer::About() { return session_.About(); }

PF_Err PluginRenderer::Render(const FrameImage& source, const ParamValues& values, int32_t index,
                              const minihost::ProgressFunction& progress, FrameImage& result) {
    minihost::Host& host = session_.GetHost();
    // The host's call record serves tests; over a long sequence it would only grow.
    host.Log().Clear();
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
        result = MakeFrame(source.depth, source.width, source.height, source.hasAlpha);
        CopyRows(reinterpret_cast<const uint8_t*>(output_->data), output_->rowbytes, result.Bytes(), result.RowBytes(),
                 result.RowBytes(), result.height);
    }
    return err;
}

std::string DefaultPluginPath() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::read_symlink("/proc/self/exe", ec).parent_path();
    const fs::path beside = folder / MACULO_PLUGIN_FILE;  // in a build tree
    if (fs::exists(beside, ec)) return beside.string();
    return (folder / MACULO_INSTALLED_PLUGIN).lexically_normal().string();
}

}  // namespace maculo
