// The effect's binary, loaded the way the host loads it, with its two entry
// points; and the discovery call the host makes through the registration entry.
#pragma once

#include <string>

#include "hostapi/HostApi.h"
#include "minihost/DynamicLibrary.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

inline constexpr char kEffectEntryName[] = "EffectMain";
inline constexpr char kRegistrationEntryName[] = "PluginDataEntryFunction";

class PluginLibrary {
public:
    // Throws std::runtime_error when the library cannot be loaded or lacks an entry point.
    explicit PluginLibrary(const std::string& path);

    PF_FilterProc EffectMain() const { return effectMain_; }
    PF_PluginDataEntryFunc PluginDataEntry() const { return pluginDataEntry_; }

private:
    DynamicLibrary library_;
    PF_FilterProc effectMain_ = nullptr;
    PF_PluginDataEntryFunc pluginDataEntry_ = nullptr;
};

// What an effect told the host's registration callback.
struct Registration {
    int calls = 0;
    PF_PluginDataPtr inPtr = nullptr;
    std::string name;
    std::string matchName;
    std::string category;
    std::string entryPointName;
    A_long kind = 0;
    A_long apiVersionMajor = 0;
    A_long apiVersionMinor = 0;
    A_long reservedInfo = 0;
};

// Calls the registration entry as the host does at discovery; the callback
// records into `registration` and answers `callbackResult`. With a journal,
// the callback is recorded there as a host call that can fail.
PF_Err Discover(PF_PluginDataEntryFunc entry, Registration& registration, A_Err callbackResult = A_Err_NONE,
                Journal* journal = nullptr);

}  // namespace maculo::minihost
