// Which calls of one host function fail, and with which code. Calls are
// counted from the plan's creation; FailAt counts from the moment it is given.
// Not synchronised: its owner guards it.
#pragma once

#include <cstdint>
#include <map>

namespace maculo::minihost {

class FailurePlan {
public:
    // The n-th call from now (1 = the next one) returns `code`.
    void FailAt(int n, int32_t code) { failures_[calls_ + n] = code; }
    // Every call from the n-th on returns `code`.
    void FailFrom(int n, int32_t code) {
        from_ = calls_ + n;
        fromCode_ = code;
    }
    void Clear() {
        failures_.clear();
        from_ = 0;
    }

    // Counts one call; its planned code, or 0.
    int32_t Next() {
        ++calls_;
        if (auto it = failures_.find(calls_); it != failures_.end()) return it->second;
        return from_ != 0 && calls_ >= from_ ? fromCode_ : 0;
    }
    int Calls() const { return calls_; }

private:
    int calls_ = 0;
    std::map<int, int32_t> failures_;
    int from_ = 0;
    int32_t fromCode_ = 0;
};

}  // namespace maculo::minihost
