#include "hostapi/HostApi.h"
#include "plugin/Export.h"
#include "resources/PluginInfo.h"

namespace {

const A_u_char* HostText(const char* text) { return reinterpret_cast<const A_u_char*>(text); }

}  // namespace

// The host's registration call: tells it who we are without loading more.
MACULO_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr, PF_PluginDataCB inPluginDataCallBackPtr,
                                             SPBasicSuite* /*inSPBasicSuitePtr*/, const char* /*inHostName*/,
                                             const char* /*inHostVersion*/) {
    if (inPluginDataCallBackPtr == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return inPluginDataCallBackPtr(inPtr, HostText(maculo::kEffectName), HostText(maculo::kMatchName),
                                   HostText(maculo::kRegistrationCategory), HostText(maculo::kEntryPointName),
                                   maculo::kEffectKind, maculo::kInterfaceVersionMajor, maculo::kInterfaceVersionMinor,
                                   AE_RESERVED_INFO);
}
