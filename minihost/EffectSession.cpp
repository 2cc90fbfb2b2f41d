#include "minihost/EffectSession.h"

#include <cstring>
#include <stdexcept>

namespace maculo::minihost {

namespace {

void Require(PF_Err err, const char* step) {
    if (err != PF_Err_NONE) throw std::runtime_error(std::string(step) + " failed with error " + std::to_string(err));
}

}  // namespace

EffectSession::EffectSession(const std::string& libraryPath) : library_(libraryPath) {
    Require(Discover(library_.PluginDataEntry(), registration_, A_Err_NONE, &host_.Log()), "registration");
    host_.SetEntry(library_.EffectMain());
    Require(host_.Send(PF_Cmd_GLOBAL_SETUP), "global setup");
    if (host_.InData().global_data == nullptr) throw std::runtime_error("global setup kept no global data");
    Require(host_.Send(PF_Cmd_PARAMS_SETUP), "parameter setup");
}

std::string EffectSession::About() {
    host_.OutData().return_msg[0] = '\0';
    Require(host_.Send(PF_Cmd_ABOUT), "about");
    const A_char* text = host_.OutData().return_msg;
    return std::string(text, strnlen(text, sizeof host_.OutData().return_msg));
}

PF_Err EffectSession::ParamChanged(PF_ParamIndex index) {
    PF_UserChangedParamExtra extra{index};
    return host_.Send(PF_Cmd_USER_CHANGED_PARAM, &extra);
}

PF_Err EffectSession::SetUpGpu(PF_GPU_Framework framework) {
    PF_GPUDeviceSetupInput input{framework, 0};
    PF_GPUDeviceSetupOutput output{};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    return host_.Send(PF_Cmd_GPU_DEVICE_SETUP, &extra);
}

PF_Err EffectSession::RenderFrame(PF_EffectWorld& layer, PF_EffectWorld& output, int16_t bitdepth,
                                  PF_GPU_Framework whatGpu) {
    const PF_InData& in = host_.InData();
    return RenderFrameAt(in.current_time, in.downsample_x.den, layer, output, bitdepth, whatGpu);
}

PF_Err EffectSession::RenderFrameAt(A_long time, A_u_long downsample, PF_EffectWorld& layer, PF_EffectWorld& output,
                                    int16_t bitdepth, PF_GPU_Framework whatGpu) {
    Frame frame(host_.Render(), Frame::WholeFrame(output.width, output.height), whatGpu, bitdepth,
                FrameWorlds{&layer, &output});
    const FrameCall call{frame.EffectRef(), time, PF_RationalScale{1, downsample}};
    if (const PF_Err err = host_.SendFrame(call, PF_Cmd_SMART_PRE_RENDER, frame.PreRenderExtra())) return err;
    return host_.SendFrame(call, PF_Cmd_SMART_RENDER, frame.RenderExtra());
}

}  // namespace maculo::minihost
