#include "minihost/HandleSuite.h"

#include <algorithm>
#include <string>

namespace maculo::minihost {

namespace {
// Far beyond anything the effect asks for; larger requests count as out of memory.
constexpr A_HandleSize kMaxHandleSize = A_HandleSize{1} << 32;
}  // namespace

HandleSuite::HandleSuite(Journal& journal) : journal_(journal) {
    table_.host_new_handle = &HandleSuite::NewHandle;
    table_.host_lock_handle = &HandleSuite::Lock;
    table_.host_unlock_handle = &HandleSuite::Unlock;
    table_.host_dispose_handle = &HandleSuite::DisposeHandle;
    table_.host_get_handle_size = &HandleSuite::GetSize;
    table_.host_resize_handle = &HandleSuite::Resize;
}

void HandleSuite::SetNewHandleFails(bool fails) {
    std::lock_guard lock(mutex_);
    newFails_ = fails;
}

void HandleSuite::SetLockFails(bool fails) {
    std::lock_guard lock(mutex_);
    lockFails_ = fails;
}

size_t HandleSuite::LiveCount() const {
    std::lock_guard lock(mutex_);
    return blocks_.size();
}

size_t HandleSuite::LockedCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(
        std::count_if(blocks_.begin(), blocks_.end(), [](const auto& entry) { return entry.second->locks > 0; }));
}

bool HandleSuite::IsLive(PF_Handle handle) const {
    std::lock_guard lock(mutex_);
    return blocks_.count(handle) != 0;
}

int HandleSuite::LockCount(PF_Handle handle) const {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(handle);
    return it == blocks_.end() ? 0 : it->second->locks;
}

void* HandleSuite::Peek(PF_Handle handle) const {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(handle);
    return it == blocks_.end() ? nullptr : it->second->master;
}

void HandleSuite::Dispose(PF_Handle handle) {
    std::lock_guard lock(mutex_);
    DisposeLocked(handle, "host dispose");
}

HandleSuite::Block* HandleSuite::FindLocked(PF_Handle handle, const char* function) {
    auto it = blocks_.find(handle);
    if (it != blocks_.end()) return it->second.get();
    journal_.Misuse(std::string(function) + ": not a live handle");
    return nullptr;
}

void HandleSuite::DisposeLocked(PF_Handle handle, const char* function) {
    Block* block = FindLocked(handle, function);
    if (!block) return;
    if (block->locks > 0) journal_.Misuse(std::string(function) + ": handle still locked");
    blocks_.erase(handle);
}

PF_Handle HandleSuite::NewHandle(A_HandleSize size) {
    HandleSuite* self = ActiveSlot<HandleSuite>::Get();
    if (!self) return nullptr;
    const Fault fault = self->journal_.Call("host_new_handle(" + std::to_string(size) + ")", kCanBeEmpty);
    std::lock_guard lock(self->mutex_);
    if (self->newFails_ || fault == Fault::kEmpty || size > kMaxHandleSize) return nullptr;
    auto block = std::make_unique<Block>();
    block->bytes.assign(std::max<A_HandleSize>(size, 1), kUnwrittenByte);
    block->master = block->bytes.data();
    PF_Handle handle = &block->master;
    self->blocks_.emplace(handle, std::move(block));
    return handle;
}

void* HandleSuite::Lock(PF_Handle handle) {
    HandleSuite* self = ActiveSlot<HandleSuite>::Get();
    if (!self) return nullptr;
    const Fault fault = self->journal_.Call("host_lock_handle", kCanBeEmpty);
    std::lock_guard lock(self->mutex_);
    Block* block = self->FindLocked(handle, "host_lock_handle");
    if (!block || self->lockFails_ || fault == Fault::kEmpty) return nullptr;
    ++block->locks;
    return block->master;
}

void HandleSuite::Unlock(PF_Handle handle) {
    HandleSuite* self = ActiveSlot<HandleSuite>::Get();
    if (!self) return;
    self->journal_.Call("host_unlock_handle");
    std::lock_guard lock(self->mutex_);
    Block* block = self->FindLocked(handle, "host_unlock_handle");
    if (!block) return;
    if (block->locks == 0) {
        self->journal_.Misuse("host_unlock_handle: handle not locked");
        return;
    }
    --block->locks;
}

void HandleSuite::DisposeHandle(PF_Handle handle) {
    HandleSuite* self = ActiveSlot<HandleSuite>::Get();
    if (!self) return;
    self->journal_.Call("host_dispose_handle");
    std::lock_guard lock(self->mutex_);
    self->DisposeLocked(handle, "host_dispose_handle");
}

A_HandleSize HandleSuite::GetSize(PF_Handle handle) {
    HandleSuite* self = ActiveSlot<HandleSuite>::Get();
    if (!self) return 0;
    self->journal_.Call("host_get_handle_size");
    std::lock_guard lock(self->mutex_);
    Block* block = self->FindLocked(handle, "host_get_handle_size");
    return block ? block->bytes.size() : 0;
}

PF_Err HandleSuite::Resize(A_HandleSize size, PF_Handle* handle) {
    HandleSuite* self = ActiveSlot<HandleSuite>::Get();
    if (!self) return PF_Err_BAD_CALLBACK_PARAM;
    self->journal_.Call("host_resize_handle(" + std::to_string(size) + ")");
    std::lock_guard lock(self->mutex_);
    Block* block = handle ? self->FindLocked(*handle, "host_resize_handle") : nullptr;
    if (!block) return PF_Err_BAD_CALLBACK_PARAM;
    if (block->locks > 0) {
        self->journal_.Misuse("host_resize_handle: handle locked");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (self->newFails_ || size > kMaxHandleSize) return PF_Err_OUT_OF_MEMORY;
    block->bytes.resize(std::max<A_HandleSize>(size, 1), kUnwrittenByte);
    block->master = block->bytes.data();  // the handle itself stays the same
    return PF_Err_NONE;
}

}  // namespace maculo::minihost
