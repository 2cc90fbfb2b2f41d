// The channel types of each frame depth, in files and in the host's frames,
// and the call that picks them for a depth at run time.
#pragma once

#include <OpenImageIO/typedesc.h>

#include <cstdint>

#include "renderlib/FrameImage.h"

namespace maculo {

struct Depth8 {
    using File = uint8_t;
    using Host = uint8_t;
    static constexpr Host kFull = 255;
    static OIIO::TypeDesc Type() { return OIIO::TypeDesc::UINT8; }
    static Host ToHost(File v) { return v; }
    static File ToFile(Host v) { return v; }
};
struct Depth16 {
    using File = uint16_t;
    using Host = uint16_t;
    static constexpr Host kFull = 32768;
    static OIIO::TypeDesc Type() { return OIIO::TypeDesc::UINT16; }
    static Host ToHost(File v) { return FileToHost16(v); }
    static File ToFile(Host v) { return HostToFile16(v); }
};
struct Depth32 {
    using File = float;
    using Host = float;
    static constexpr Host kFull = 1.0f;
    static OIIO::TypeDesc Type() { return OIIO::TypeDesc::FLOAT; }
    static Host ToHost(File v) { return v; }
    static File ToFile(Host v) { return v; }
};

template <typename Fn>
auto WithDepth(int32_t depth, Fn fn) {
    if (depth == 8) return fn(Depth8{});
    if (depth == 16) return fn(Depth16{});
    return fn(Depth32{});
}

}  // namespace maculo
