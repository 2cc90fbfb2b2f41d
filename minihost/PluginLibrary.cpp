#include "minihost/PluginLibrary.h"

#include <stdexcept>

namespace maculo::minihost {

namespace {

template <class Function>
Function Resolve(const DynamicLibrary& library, const std::string& path, const char* name) {
    void* address = library.Symbol(name);
    if (!address) throw std::runtime_error(path + " does not export " + name);
    return reinterpret_cast<Function>(address);
}

// The registration callback's context is the plug-in data pointer, which the
// host chooses: here the record to fill and the answer to give.
struct DiscoveryContext {
    Registration* registration;
    A_Err answer;
    Journal* journal;
};

std::string Text(const A_u_char* text) { return text ? reinterpret_cast<const char*>(text) : ""; }

A_Err RecordRegistration(PF_PluginDataPtr inPtr, const A_u_char* name, const A_u_char* matchName,
                         const A_u_char* category, const A_u_char* entryPointName, A_long kind, A_long apiVersionMajor,
                         A_long apiVersionMinor, A_long reservedInfo) {
    auto* context = reinterpret_cast<DiscoveryContext*>(inPtr);
    if (!context) return A_Err_PARAMETER;
    if (context->journal && context->journal->Call("registration callback", kCanError) == Fault::kError)
        return kInjectedError;
    Registration& r = *context->registration;
    ++r.calls;
    r.inPtr = inPtr;
    r.name = Text(name);
    r.matchName = Text(matchName);
    r.category = Text(category);
    r.entryPointName = Text(entryPointName);
    r.kind = kind;
    r.apiVersionMajor = apiVersionMajor;
    r.apiVersionMinor = apiVersionMinor;
    r.reservedInfo = reservedInfo;
    return context->answer;
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path)
    : library_(path),
      effectMain_(Resolve<PF_FilterProc>(library_, path, kEffectEntryName)),
      pluginDataEntry_(Resolve<PF_PluginDataEntryFunc>(library_, path, kRegistrationEntryName)) {}

PF_Err Discover(PF_PluginDataEntryFunc entry, Registration& registration, A_Err callbackResult, Journal* journal) {
    DiscoveryContext context{&registration, callbackResult, journal};
    return entry(reinterpret_cast<PF_PluginDataPtr>(&context), &RecordRegistration, nullptr, "minihost", "1.0");
}

}  // namespace maculo::minihost
