#include "plugin/AcquiredSuites.h"

#include <cstdio>

namespace maculo {

namespace {

constexpr char kMissingSuiteMessage[] = "Not able to acquire AEFX Suite.";

void ReportMissingSuite(const PF_InData& in_data, PF_OutData& out_data) {
    out_data.out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    if (in_data.utils != nullptr && in_data.utils->ansi.procs.sprintf != nullptr) {
        in_data.utils->ansi.procs.sprintf(out_data.return_msg, kMissingSuiteMessage);
    } else {
        std::snprintf(out_data.return_msg, sizeof out_data.return_msg, "%s", kMissingSuiteMessage);
    }
}

}  // namespace

const void* TryAcquireSuite(const SPBasicSuite* basic, const char* name, int32_t version) {
    if (basic == nullptr) {
        return nullptr;
    }
    const void* suite = nullptr;
    return basic->AcquireSuite(name, version, &suite) == 0 ? suite : nullptr;
}

HostSuites::~HostSuites() {
    std::apply([this](auto... slot) { (Release(slot), ...); }, slots_);
}

const void* HostSuites::Acquire(const char* name, int32_t version) {
    const void* suite = TryAcquireSuite(basic_, name, version);
    if (suite == nullptr) {
        throw HostError(PF_Err_BAD_CALLBACK_PARAM);
    }
    return suite;
}

const void* AcquireSuiteOrReport(const PF_InData& in_data, PF_OutData* out_data, const char* name, int32_t version) {
    const void* suite = TryAcquireSuite(in_data.pica_basicP, name, version);
    if (suite == nullptr) {
        if (out_data != nullptr) {
            ReportMissingSuite(in_data, *out_data);
        }
        throw HostError(A_Err_MISSING_SUITE);
    }
    return suite;
}

}  // namespace maculo
