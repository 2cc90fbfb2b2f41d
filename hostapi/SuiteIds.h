// The name and version under which the host publishes each suite we use.
// Acquire and release must pass the same pair, so both read it from here.
#pragma once

#include <cstdint>

#include "hostapi/HostApi.h"

namespace maculo {

template <class Suite>
struct SuiteId;

#define MACULO_SUITE_ID(Suite, suiteName, suiteVersion)  \
    template <>                                          \
    struct SuiteId<Suite> {                              \
        static constexpr const char* name = suiteName;   \
        static constexpr int32_t version = suiteVersion; \
    }

MACULO_SUITE_ID(PF_ANSICallbacksSuite1, kPFANSISuite, kPFANSISuiteVersion1);
MACULO_SUITE_ID(PF_HandleSuite1, kPFHandleSuite, kPFHandleSuiteVersion1);
MACULO_SUITE_ID(PF_WorldSuite2, kPFWorldSuite, kPFWorldSuiteVersion2);
MACULO_SUITE_ID(AEGP_UtilitySuite3, kAEGPUtilitySuite, kAEGPUtilitySuiteVersion3);
MACULO_SUITE_ID(AEGP_PFInterfaceSuite1, kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
MACULO_SUITE_ID(AEGP_EffectSuite4, kAEGPEffectSuite, kAEGPEffectSuiteVersion4);
MACULO_SUITE_ID(AEGP_StreamSuite5, kAEGPStreamSuite, kAEGPStreamSuiteVersion5);
MACULO_SUITE_ID(AEGP_DynamicStreamSuite4, kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion4);

#undef MACULO_SUITE_ID

}  // namespace maculo
