// Keeps a host handle locked for one scope. A handle that yields no memory
// was never locked, so it is not unlocked either.
#pragma once

#include "hostapi/HostApi.h"

namespace maculo {

class HandleLock {
public:
    HandleLock(const PF_HandleSuite1& suite, PF_Handle handle) noexcept
        : suite_(suite), handle_(handle), data_(suite.host_lock_handle(handle)) {}
    ~HandleLock() {
        if (data_ != nullptr) {
            suite_.host_unlock_handle(handle_);
        }
    }
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;

    template <class Record>
    Record* As() const noexcept {
        return static_cast<Record*>(data_);
    }

private:
    const PF_HandleSuite1& suite_;
    PF_Handle handle_;
    void* data_;
};

}  // namespace maculo
