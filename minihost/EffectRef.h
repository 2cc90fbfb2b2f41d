// The effect reference this host hands out in PF_InData.effect_ref; every
// callback that takes one checks that it got this one back.
#pragma once

#include "host/HostApi.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

PF_ProgPtr TheEffectRef();

// True when `ref` is ours; otherwise notes the misuse under `function`.
bool IsOurEffect(PF_ProgPtr ref, Journal& journal, const char* function);

}  // namespace maculo::minihost
