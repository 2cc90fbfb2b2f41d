// The basic suite: hands out the host's suites by name and version, counts
// every acquisition and release per (name, version), and can refuse a suite
// the way a host without it would.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "hostapi/HostApi.h"
#include "minihost/ActiveSlot.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

// What AcquireSuite answers for a refused or unknown suite; distinct from
// every code the effect produces itself, so a code passed on is recognisable.
inline constexpr SPErr kSuiteUnavailable = FourCharCode("!Ste");

enum class Refusal {
    kNone,       // handed out
    kError,      // kSuiteUnavailable and a null pointer
    kNullSuite,  // success, but a null pointer
};

class SuiteRegistry {
public:
    explicit SuiteRegistry(Journal& journal);

    SPBasicSuite* Table() { return &table_; }

    void Offer(std::string_view name, int32_t version, const void* suite);
    void Refuse(std::string_view name, int32_t version, Refusal how = Refusal::kError);

    int Acquired(std::string_view name, int32_t version) const;
    int Released(std::string_view name, int32_t version) const;
    // Acquisitions not yet released, over all suites.
    int Outstanding() const;

private:
    struct Entry {
        const void* suite = nullptr;
        Refusal refusal = Refusal::kNone;
        int acquired = 0;
        int released = 0;
    };
    using Key = std::pair<std::string, int32_t>;

    static SPErr Acquire(const char* name, int32_t version, const void** suite);
    static SPErr Release(const char* name, int32_t version);

    const Entry* Find(std::string_view name, int32_t version) const;

    Journal& journal_;
    SPBasicSuite table_{};
    mutable std::mutex mutex_;
    std::map<Key, Entry> entries_;
    ActiveSlot<SuiteRegistry> active_{this};
};

}  // namespace maculo::minihost
