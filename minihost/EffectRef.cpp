#include "minihost/EffectRef.h"

#include <mutex>
#include <set>
#include <string>

namespace maculo::minihost {

namespace {

char effectTag;  // only its address matters

std::mutex framesMutex;
std::set<PF_ProgPtr>& LiveFrameRefs() {
    static std::set<PF_ProgPtr> refs;
    return refs;
}

}  // namespace

PF_ProgPtr TheEffectRef() { return reinterpret_cast<PF_ProgPtr>(&effectTag); }

FrameEffectRef::FrameEffectRef() {
    std::lock_guard lock(framesMutex);
    LiveFrameRefs().insert(Get());
}

FrameEffectRef::~FrameEffectRef() {
    std::lock_guard lock(framesMutex);
    LiveFrameRefs().erase(Get());
}

bool IsOurEffect(PF_ProgPtr ref, Journal& journal, const char* function) {
    if (ref == TheEffectRef()) return true;
    {
        std::lock_guard lock(framesMutex);
        if (LiveFrameRefs().count(ref) != 0) return true;
    }
    journal.Misuse(std::string(function) + ": effect_ref is not the one the host gave");
    return false;
}

}  // namespace maculo::minihost
