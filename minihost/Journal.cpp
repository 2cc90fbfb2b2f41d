#include "minihost/Journal.h"

#include <utility>

namespace maculo::minihost {

namespace {

bool Fits(Fault how, const CanFail& canFail) {
    return (how == Fault::kError && canFail.error) || (how == Fault::kEmpty && canFail.empty);
}

}  // namespace

Fault Journal::Call(std::string entry, CanFail canFail) {
    std::lock_guard lock(mutex_);
    calls_.push_back(RecordedCall{std::move(entry), canFail});
    return calls_.size() == faultOrdinal_ && Fits(fault_, canFail) ? fault_ : Fault::kNone;
}

void Journal::Misuse(std::string what) {
    std::lock_guard lock(mutex_);
    misuses_.push_back(std::move(what));
}

void Journal::PlanFault(size_t ordinal, Fault how) {
    std::lock_guard lock(mutex_);
    faultOrdinal_ = ordinal;
    fault_ = how;
}

std::vector<std::string> Journal::Calls() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> entries;
    entries.reserve(calls_.size());
    for (const RecordedCall& call : calls_) entries.push_back(call.entry);
    return entries;
}

std::vector<RecordedCall> Journal::Records() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> Journal::Misuses() const {
    std::lock_guard lock(mutex_);
    return misuses_;
}

void Journal::Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    misuses_.clear();
    faultOrdinal_ = 0;
    fault_ = Fault::kNone;
}

}  // namespace maculo::minihost
