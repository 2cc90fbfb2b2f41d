// The effect references this host hands out in PF_InData.effect_ref: the
// instance's own, and one for each frame that renders with references of its
// own, so that the callbacks of frames in flight at once can tell them apart.
// Every callback that takes one checks that it got a live one back.
#pragma once

#include "hostapi/HostApi.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

PF_ProgPtr TheEffectRef();

// A frame's own reference, live while the object lives.
class FrameEffectRef {
public:
    FrameEffectRef();
    ~FrameEffectRef();
    FrameEffectRef(const FrameEffectRef&) = delete;
    FrameEffectRef& operator=(const FrameEffectRef&) = delete;

    PF_ProgPtr Get() const { return reinterpret_cast<PF_ProgPtr>(const_cast<char*>(&tag_)); }

private:
    char tag_ = 0;  // only its address matters
};

// True when `ref` is the instance's or a live frame's; otherwise notes the
// misuse under `function`.
bool IsOurEffect(PF_ProgPtr ref, Journal& journal, const char* function);

}  // namespace maculo::minihost
