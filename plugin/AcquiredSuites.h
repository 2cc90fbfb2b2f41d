// The two ways a command borrows host suites: a per-command collection that
// acquires each suite on first use, and a single suite held for one scope.
// Both give back exactly what they took, also when an error unwinds them.
#pragma once

#include <cstdint>
#include <tuple>

#include "hostapi/HostApi.h"
#include "hostapi/SuiteIds.h"
#include "plugin/HostError.h"

namespace maculo {

// The suite, or null when the host withholds it.
const void* TryAcquireSuite(const SPBasicSuite* basic, const char* name, int32_t version);

// Raises 516 for a suite it cannot get; each suite is acquired at most once
// per collection and released when the collection goes away.
class HostSuites {
public:
    explicit HostSuites(const PF_InData& in_data) noexcept : basic_(in_data.pica_basicP) {}
    ~HostSuites();
    HostSuites(const HostSuites&) = delete;
    HostSuites& operator=(const HostSuites&) = delete;

    template <class Suite>
    const Suite& Get() {
        const Suite*& slot = std::get<const Suite*>(slots_);
        if (slot == nullptr) {
            slot = static_cast<const Suite*>(Acquire(SuiteId<Suite>::name, SuiteId<Suite>::version));
        }
        return *slot;
    }

private:
    const void* Acquire(const char* name, int32_t version);

    template <class Suite>
    void Release(const Suite* slot) noexcept {
        if (slot != nullptr) {
            basic_->ReleaseSuite(SuiteId<Suite>::name, SuiteId<Suite>::version);
        }
    }

    const SPBasicSuite* basic_;
    std::tuple<const PF_ANSICallbacksSuite1*, const PF_HandleSuite1*, const AEGP_UtilitySuite3*,
               const AEGP_PFInterfaceSuite1*, const AEGP_EffectSuite4*, const AEGP_StreamSuite5*,
               const AEGP_DynamicStreamSuite4*>
        slots_{};
};

// Acquires the suite or, failing that, tells the user through out_data (when
// given) and raises 13.
const void* AcquireSuiteOrReport(const PF_InData& in_data, PF_OutData* out_data, const char* name, int32_t version);

template <class Suite>
class ScopedSuite {
public:
    ScopedSuite(const PF_InData& in_data, PF_OutData* out_data)
        : basic_(in_data.pica_basicP),
          suite_(static_cast<const Suite*>(
              AcquireSuiteOrReport(in_data, out_data, SuiteId<Suite>::name, SuiteId<Suite>::version))) {}
    ~ScopedSuite() { basic_->ReleaseSuite(SuiteId<Suite>::name, SuiteId<Suite>::version); }
    ScopedSuite(const ScopedSuite&) = delete;
    ScopedSuite& operator=(const ScopedSuite&) = delete;

    const Suite& operator*() const noexcept { return *suite_; }
    const Suite* operator->() const noexcept { return suite_; }

private:
    const SPBasicSuite* basic_;
    const Suite* suite_;
};

}  // namespace maculo
