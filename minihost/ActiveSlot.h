// The host's function tables carry no context pointer (AcquireSuite gets a
// name and a version, host_new_handle a size), so, as in a real host, each
// part exists once per process: its constructor makes it the one that the
// tables reach, and a second one at the same time is refused.
#pragma once

#include <atomic>
#include <stdexcept>

namespace maculo::minihost {

template <class Owner>
class ActiveSlot {
public:
    explicit ActiveSlot(Owner* owner) {
        Owner* none = nullptr;
        if (!active_.compare_exchange_strong(none, owner))
            throw std::logic_error("each part of the host exists once per process");
    }
    ~ActiveSlot() { active_.store(nullptr); }
    ActiveSlot(const ActiveSlot&) = delete;
    ActiveSlot& operator=(const ActiveSlot&) = delete;

    // The active owner, or null when the effect calls a table after its host is gone.
    static Owner* Get() { return active_.load(); }

private:
    static inline std::atomic<Owner*> active_{nullptr};
};

}  // namespace maculo::minihost
