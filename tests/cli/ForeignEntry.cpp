// A plug-in that is not this build's own: the effect under another match
// name, as another maker's plug-in or another version of ours would register.
#include "hostapi/HostApi.h"
#include "plugin/Export.h"
#include "resources/PluginInfo.h"

MACULO_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr, PF_PluginDataCB callback, SPBasicSuite*,
                                             const char*, const char*) {
    const auto text = [](const char* t) { return reinterpret_cast<const A_u_char*>(t); };
    return callback(inPtr, text("Foreign Pattern"), text("XXXX Foreign Pattern"), text("Tests"),
                    text(maculo::kEntryPointName), maculo::kEffectKind, maculo::kInterfaceVersionMajor,
                    maculo::kInterfaceVersionMinor, AE_RESERVED_INFO);
}
