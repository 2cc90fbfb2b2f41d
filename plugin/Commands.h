// The handlers EffectMain dispatches to. Each returns the host code of its
// command; a suite the host withholds arrives as a HostError instead.
#pragma once

#include "hostapi/HostApi.h"

namespace maculo {

PF_Err DispatchCommand(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], void* extra);

PF_Err About(const PF_InData& in_data, PF_OutData& out_data);
PF_Err GlobalSetup(const PF_InData& in_data, PF_OutData& out_data);
PF_Err ParamsSetup(const PF_InData& in_data, PF_OutData& out_data);
PF_Err UpdateParamVisibility(const PF_InData& in_data, PF_ParamDef* const params[]);
PF_Err GpuDeviceSetup(PF_OutData& out_data, const PF_GPUDeviceSetupExtra& extra);
PF_Err SmartPreRender(const PF_InData& in_data, PF_PreRenderExtra& extra);
PF_Err SmartRender(const PF_InData& in_data, PF_OutData* out_data, PF_SmartRenderExtra& extra);

}  // namespace maculo
