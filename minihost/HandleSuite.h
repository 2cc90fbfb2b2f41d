// "PF Handle Suite" 2: relocatable host memory. Tracks every live handle and
// its lock count; can answer "out of memory" (a null handle, a null lock).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "hostapi/HostApi.h"
#include "minihost/ActiveSlot.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

// New memory is filled with this, not zeros, so that reading a field the
// effect never wrote shows up in tests.
inline constexpr unsigned char kUnwrittenByte = 0xA5;

class HandleSuite {
public:
    explicit HandleSuite(Journal& journal);

    const PF_HandleSuite1* Table() const { return &table_; }

    void SetNewHandleFails(bool fails);
    void SetLockFails(bool fails);

    size_t LiveCount() const;
    size_t LockedCount() const;
    bool IsLive(PF_Handle handle) const;
    int LockCount(PF_Handle handle) const;  // 0 for a handle that is not live
    // The host's own view of a live handle's memory, without locking it.
    void* Peek(PF_Handle handle) const;
    // The host disposing of a handle it was given (the global data at unload).
    void Dispose(PF_Handle handle);

private:
    struct Block {
        void* master = nullptr;  // the PF_Handle points here
        std::vector<unsigned char> bytes;
        int locks = 0;
    };

    static PF_Handle NewHandle(A_HandleSize size);
    static void* Lock(PF_Handle handle);
    static void Unlock(PF_Handle handle);
    static void DisposeHandle(PF_Handle handle);
    static A_HandleSize GetSize(PF_Handle handle);
    static PF_Err Resize(A_HandleSize size, PF_Handle* handle);

    Block* FindLocked(PF_Handle handle, const char* function);  // needs mutex_ held
    void DisposeLocked(PF_Handle handle, const char* function);

    Journal& journal_;
    PF_HandleSuite1 table_{};
    mutable std::mutex mutex_;
    std::map<PF_Handle, std::unique_ptr<Block>> blocks_;
    bool newFails_ = false;
    bool lockFails_ = false;
    ActiveSlot<HandleSuite> active_{this};
};

}  // namespace maculo::minihost
