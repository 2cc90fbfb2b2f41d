#include "plugin/Commands.h"
#include "plugin/Export.h"
#include "plugin/HostError.h"
#include "plugin/StayLoaded.h"

MACULO_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                PF_LayerDef* /*output: frames come through smart render*/, void* extra) {
    maculo::StayLoaded();
    // Nothing may unwind into the host: a raised host code becomes the
    // result, and any other failure is reported as a damaged record.
    try {
        return maculo::DispatchCommand(cmd, in_data, out_data, params, extra);
    } catch (const maculo::HostError& error) {
        return error.Code();
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}
