#include "minihost/Journal.h"

#include <utility>

namespace maculo::minihost {

void Journal::Call(std::string entry) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(entry));
}

void Journal::Misuse(std::string what) {
    std::lock_guard lock(mutex_);
    misuses_.push_back(std::move(what));
}

std::vector<std::string> Journal::Calls() const {
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
}

}  // namespace maculo::minihost
