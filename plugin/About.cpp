#include "plugin/AcquiredSuites.h"
#include "plugin/Commands.h"
#include "resources/PluginInfo.h"

namespace maculo {

namespace {

constexpr char kDescription[] = "Maculo Pattern from Quillfen.\nGenerating Maculo Pattern.";

}  // namespace

PF_Err About(const PF_InData& in_data, PF_OutData& out_data) {
    HostSuites suites(in_data);
    // The about box shows the marketing version: major and minor.
    suites.Get<PF_ANSICallbacksSuite1>().sprintf(out_data.return_msg, "%s v%d.%d\r%s", kEffectName, kVersionMajor,
                                                 kVersionMinor, kDescription);
    return PF_Err_NONE;
}

}  // namespace maculo
