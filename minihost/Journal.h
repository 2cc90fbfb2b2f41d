// The host's record of what the effect did to it: every call into the host,
// in order, and every broken host rule (a handle disposed twice, a world the
// effect did not make, a check-in without a checkout, ...). It also holds the
// one switch that makes any single call fail: the k-th call recorded acts out
// a planned fault, in the way that call can fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "hostapi/HostApi.h"

namespace maculo::minihost {

enum class Fault {
    kNone,
    kError,  // the call answers an error code: a refused suite, world, checkout, ...
    kEmpty,  // the call answers success but hands back nothing: a null suite, handle, lock, world or reference
};

// The ways one call can fail; each call site says which it can act out.
struct CanFail {
    bool error = false;
    bool empty = false;
};
inline constexpr CanFail kCannotFail{};
inline constexpr CanFail kCanError{true, false};
inline constexpr CanFail kCanBeEmpty{false, true};
inline constexpr CanFail kCanErrorOrBeEmpty{true, true};

// What a call answers when a planned fault makes it fail with a code of its
// own choosing; distinct from every code the effect produces itself.
inline constexpr PF_Err kInjectedError = FourCharCode("Flt!");

struct RecordedCall {
    std::string entry;
    CanFail canFail;
};

class Journal {
public:
    // Records a call into the host. Answers the fault the call is to act out:
    // kNone, unless it is the planned call and can fail the planned way.
    Fault Call(std::string entry, CanFail canFail = kCannotFail);
    void Misuse(std::string what);

    // The call recorded as number `ordinal` (1 = the first since the journal
    // began or was cleared) fails as `how`. One plan at a time.
    void PlanFault(size_t ordinal, Fault how);

    std::vector<std::string> Calls() const;
    std::vector<RecordedCall> Records() const;
    std::vector<std::string> Misuses() const;
    // Forgets the calls, the misuses and the planned fault.
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<RecordedCall> calls_;
    std::vector<std::string> misuses_;
    size_t faultOrdinal_ = 0;
    Fault fault_ = Fault::kNone;
};

}  // namespace maculo::minihost
