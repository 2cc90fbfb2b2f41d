#include "minihost/Host.h"

#include <stdexcept>

#include "minihost/EffectRef.h"

namespace maculo::minihost {

Host::Host() {
    suites_.Offer(kPFANSISuite, kPFANSISuiteVersion1, ansi_.Suite());
    suites_.Offer(kPFHandleSuite, kPFHandleSuiteVersion1, handles_.Table());
    suites_.Offer(kPFWorldSuite, kPFWorldSuiteVersion2, worlds_.Table());
    suites_.Offer(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion3, aegp_.Utility());
    suites_.Offer(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1, aegp_.PFInterface());
    suites_.Offer(kAEGPEffectSuite, kAEGPEffectSuiteVersion4, aegp_.Effect());
    suites_.Offer(kAEGPStreamSuite, kAEGPStreamSuiteVersion5, aegp_.Stream());
    suites_.Offer(kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion4, aegp_.DynamicStream());

    inData_.inter = params_.Callbacks();
    inData_.utils = ansi_.Utils();
    inData_.effect_ref = TheEffectRef();
    inData_.version = PF_SpecVersion{13, 28};
    inData_.appl_id = kMinihostAppId;
    inData_.num_params = params_.ParamCount();
    inData_.pica_basicP = suites_.Table();
    inData_.pixel_aspect_ratio = PF_RationalScale{1, 1};
    SetTime(0, 1, 24);
    SetDownsample(1, 1);
}

Host::~Host() {
    if (inData_.global_data && handles_.IsLive(inData_.global_data)) handles_.Dispose(inData_.global_data);
}

void Host::SetTime(A_long current, A_long step, A_u_long scale) {
    inData_.current_time = current;
    inData_.time_step = step;
    inData_.local_time_step = step;
    inData_.time_scale = scale;
}

void Host::SetDownsample(A_long num, A_u_long den) {
    inData_.downsample_x = PF_RationalScale{num, den};
    inData_.downsample_y = PF_RationalScale{num, den};
}

PF_Err Host::Send(PF_Cmd cmd, void* extra) {
    if (!entry_) throw std::logic_error("Host::Send: no entry point set");
    const PF_Err err = entry_(cmd, &inData_, &outData_, params_.ParamList(), &unusedOutput_, extra);
    if (cmd == PF_Cmd_GLOBAL_SETUP) inData_.global_data = outData_.global_data;
    if (cmd == PF_Cmd_PARAMS_SETUP && err == PF_Err_NONE) inData_.num_params = outData_.num_params;
    return err;
}

PF_Err Host::SendFrame(const FrameCall& call, PF_Cmd cmd, void* extra) {
    if (!entry_) throw std::logic_error("Host::SendFrame: no entry point set");
    PF_InData in = inData_;
    in.effect_ref = call.effectRef;
    in.current_time = call.time;
    in.downsample_x = call.downsample;
    in.downsample_y = call.downsample;
    PF_OutData out;
    {
        std::lock_guard lock(outDataMutex_);
        out = outData_;
    }
    PF_LayerDef unusedOutput{};
    // Frames read their parameters through checkout_param, at their own time;
    // the parameter array is not theirs to read.
    const PF_Err err = entry_(cmd, &in, &out, nullptr, &unusedOutput, extra);
    std::lock_guard lock(outDataMutex_);
    outData_ = out;
    return err;
}

}  // namespace maculo::minihost
