#include "plugin/Commands.h"
#include "plugin/HostError.h"

namespace maculo {

PF_Err DispatchCommand(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], void* extra) {
    switch (cmd) {
        case PF_Cmd_ABOUT:
            return About(RequireRecord(in_data), RequireRecord(out_data));
        case PF_Cmd_GLOBAL_SETUP:
            return GlobalSetup(RequireRecord(in_data), RequireRecord(out_data));
        case PF_Cmd_PARAMS_SETUP:
            return ParamsSetup(RequireRecord(in_data), RequireRecord(out_data));
        case PF_Cmd_USER_CHANGED_PARAM:
            return UpdateParamVisibility(RequireRecord(in_data), params);
        case PF_Cmd_SMART_PRE_RENDER:
            return SmartPreRender(RequireRecord(in_data), RequireRecord(static_cast<PF_PreRenderExtra*>(extra)));
        case PF_Cmd_SMART_RENDER:
            return SmartRender(RequireRecord(in_data), out_data,
                               RequireRecord(static_cast<PF_SmartRenderExtra*>(extra)));
        case PF_Cmd_GPU_DEVICE_SETUP:
            return GpuDeviceSetup(RequireRecord(out_data), RequireRecord(static_cast<PF_GPUDeviceSetupExtra*>(extra)));
        default:
            // Set-down commands have nothing to undo, and frames render only
            // through the smart-render pair.
            return PF_Err_NONE;
    }
}

}  // namespace maculo
