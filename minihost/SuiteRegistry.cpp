#include "minihost/SuiteRegistry.h"

#include <cstdlib>
#include <cstring>

namespace maculo::minihost {

namespace {

std::string Describe(const char* function, const char* name, int32_t version) {
    return std::string(function) + "(" + (name ? name : "(null)") + ", " + std::to_string(version) + ")";
}

SPBoolean IsEqual(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

SPErr AllocateBlock(size_t size, void** block) {
    if (!block) return A_Err_PARAMETER;
    *block = std::malloc(size ? size : 1);
    return *block ? 0 : A_Err_ALLOC;
}

SPErr FreeBlock(void* block) {
    std::free(block);
    return 0;
}

SPErr ReallocateBlock(void* block, size_t newSize, void** newBlock) {
    if (!newBlock) return A_Err_PARAMETER;
    void* moved = std::realloc(block, newSize ? newSize : 1);
    if (!moved) return A_Err_ALLOC;  // the old block stays valid
    *newBlock = moved;
    return 0;
}

SPErr Undefined() { return A_Err_GENERIC; }

}  // namespace

SuiteRegistry::SuiteRegistry(Journal& journal) : journal_(journal) {
    table_.AcquireSuite = &SuiteRegistry::Acquire;
    table_.ReleaseSuite = &SuiteRegistry::Release;
    table_.IsEqual = &IsEqual;
    table_.AllocateBlock = &AllocateBlock;
    table_.FreeBlock = &FreeBlock;
    table_.ReallocateBlock = &ReallocateBlock;
    table_.Undefined = &Undefined;
}

void SuiteRegistry::Offer(std::string_view name, int32_t version, const void* suite) {
    std::lock_guard lock(mutex_);
    Entry& entry = entries_[Key(name, version)];
    entry.suite = suite;
    entry.refusal = Refusal::kNone;
}

void SuiteRegistry::Refuse(std::string_view name, int32_t version, Refusal how) {
    std::lock_guard lock(mutex_);
    entries_[Key(name, version)].refusal = how;
}

const SuiteRegistry::Entry* SuiteRegistry::Find(std::string_view name, int32_t version) const {
    auto it = entries_.find(Key(name, version));
    return it == entries_.end() ? nullptr : &it->second;
}

int SuiteRegistry::Acquired(std::string_view name, int32_t version) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = Find(name, version);
    return entry ? entry->acquired : 0;
}

int SuiteRegistry::Released(std::string_view name, int32_t version) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = Find(name, version);
    return entry ? entry->released : 0;
}

int SuiteRegistry::Outstanding() const {
    std::lock_guard lock(mutex_);
    int outstanding = 0;
    for (const auto& [key, entry] : entries_) outstanding += entry.acquired - entry.released;
    return outstanding;
}

SPErr SuiteRegistry::Acquire(const char* name, int32_t version, const void** suite) {
    SuiteRegistry* self = ActiveSlot<SuiteRegistry>::Get();
    if (!self || !suite) return kSuiteUnavailable;
    *suite = nullptr;
    const Fault fault = self->journal_.Call(Describe("AcquireSuite", name, version), kCanErrorOrBeEmpty);
    if (!name || fault == Fault::kError) return kSuiteUnavailable;

    std::lock_guard lock(self->mutex_);
    auto it = self->entries_.find(Key(name, version));
    if (it == self->entries_.end() || !it->second.suite || it->second.refusal == Refusal::kError)
        return kSuiteUnavailable;
    if (it->second.refusal == Refusal::kNullSuite || fault == Fault::kEmpty) return 0;
    ++it->second.acquired;
    *suite = it->second.suite;
    return 0;
}

SPErr SuiteRegistry::Release(const char* name, int32_t version) {
    SuiteRegistry* self = ActiveSlot<SuiteRegistry>::Get();
    if (!self) return kSuiteUnavailable;
    const std::string call = Describe("ReleaseSuite", name, version);
    // A release that answers an error still counts as made: the effect can do no more.
    const Fault fault = self->journal_.Call(call, kCanError);
    if (name) {
        std::lock_guard lock(self->mutex_);
        auto it = self->entries_.find(Key(name, version));
        if (it != self->entries_.end() && it->second.released < it->second.acquired) {
            ++it->second.released;
            return fault == Fault::kError ? kSuiteUnavailable : 0;
        }
    }
    self->journal_.Misuse(call + ": not acquired");
    return kSuiteUnavailable;
}

}  // namespace maculo::minihost
