#include "minihost/EffectRef.h"

#include <string>

namespace maculo::minihost {

namespace {
char effectTag;  // only its address matters
}

PF_ProgPtr TheEffectRef() { return reinterpret_cast<PF_ProgPtr>(&effectTag); }

bool IsOurEffect(PF_ProgPtr ref, Journal& journal, const char* function) {
    if (ref == TheEffectRef()) return true;
    journal.Misuse(std::string(function) + ": effect_ref is not the one the host gave");
    return false;
}

}  // namespace maculo::minihost
