#include "controls/ControlTable.h"
#include "engine/ControlSettings.h"
#include "plugin/AcquiredSuites.h"
#include "plugin/Commands.h"
#include "plugin/GlobalData.h"
#include "plugin/HandleLock.h"

namespace maculo {

PF_Err UpdateParamVisibility(const PF_InData& in_data, PF_ParamDef* const params[]) {
    // All four AEGP suites up front, so a host without the AEGP layer is
    // turned away before anything changes.
    HostSuites suites(in_data);
    const AEGP_PFInterfaceSuite1& pfInterface = suites.Get<AEGP_PFInterfaceSuite1>();
    const AEGP_EffectSuite4& effects = suites.Get<AEGP_EffectSuite4>();
    const AEGP_StreamSuite5& streams = suites.Get<AEGP_StreamSuite5>();
    const AEGP_DynamicStreamSuite4& dynamicStreams = suites.Get<AEGP_DynamicStreamSuite4>();

    if (in_data.global_data == nullptr || params == nullptr || params[kParamMode] == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    const HandleLock global(suites.Get<PF_HandleSuite1>(), in_data.global_data);
    const GlobalData* record = global.As<const GlobalData>();
    if (record == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    const AEGP_PluginID pluginId = record->pluginId;

    AEGP_EffectRefH effect = nullptr;
    if (const A_Err err = pfInterface.AEGP_GetNewEffectForEffect(pluginId, in_data.effect_ref, &effect)) {
        return err;  // no reference, nothing to dispose
    }
    if (effect == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;  // success without a reference: nothing to use or dispose
    }

    const bool simple = params[kParamMode]->u.pd.value == kModeSimple;
    // Codes are OR-merged so that a failed disposal is not hidden behind, nor
    // hides, the failure that stopped the walk.
    PF_Err result = PF_Err_NONE;
    for (const Control& control : kControls) {
        if (result != PF_Err_NONE) break;
        if (control.shownIn == ShownIn::kAlways) continue;
        AEGP_StreamRefH stream = nullptr;
        result = streams.AEGP_GetNewEffectStreamByIndex(pluginId, effect, control.index, &stream);
        if (result == PF_Err_NONE && stream == nullptr) {
            result = PF_Err_INTERNAL_STRUCT_DAMAGED;  // success without a stream: nothing to use or dispose
        }
        if (result == PF_Err_NONE) {
            const bool hidden = !ShownInMode(control, simple);
            result = dynamicStreams.AEGP_SetDynamicStreamFlag(stream, AEGP_DynStreamFlag_HIDDEN, false, hidden);
            result |= streams.AEGP_DisposeStream(stream);
        }
    }
    return result | effects.AEGP_DisposeEffect(effect);
}

}  // namespace maculo
