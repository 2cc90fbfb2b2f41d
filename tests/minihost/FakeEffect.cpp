// A stand-in effect binary for the loader tests: it answers every command
// with cmd + 100 and formats into return_msg through the host's sprintf.
#include <cstdio>

#include "host/HostApi.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamList, PF_LayerDef*,
                              void*) {
    if (in_data && out_data) in_data->utils->ansi.procs.sprintf(out_data->return_msg, "fake %d %.1f", cmd, 0.5);
    return cmd + 100;
}

#ifndef FAKE_WITHOUT_REGISTRATION
FAKE_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr, PF_PluginDataCB cb, SPBasicSuite*, const char*,
                                           const char*) {
    return cb(inPtr, reinterpret_cast<const A_u_char*>("Fake"), reinterpret_cast<const A_u_char*>("FAKE Fake"),
              reinterpret_cast<const A_u_char*>("Tests"), reinterpret_cast<const A_u_char*>("EffectMain"),
              maculo::kEffectKind, 13, 28, AE_RESERVED_INFO);
}
#endif
