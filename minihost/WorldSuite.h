// "PF World Suite" 2: pixel buffers in the three depths, rows padded the way
// a host may pad them. Holds the worlds the effect makes (PF_NewWorld) and
// those the host makes for itself (the layer and the output buffer), and
// knows each one's pixel format.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "hostapi/HostApi.h"
#include "minihost/ActiveSlot.h"
#include "minihost/FailurePlan.h"
#include "minihost/Journal.h"
#include "minihost/WorldMemory.h"

namespace maculo::minihost {

// Bytes per pixel of the three formats; 0 for any other code.
A_long BytesPerPixel(PF_PixelFormat format);

// The largest world, row padding included, that this host makes.
inline constexpr int64_t kMaxWorldBytes = int64_t{1} << 31;

// What the effect asked PF_NewWorld for.
struct WorldRequest {
    A_long width;
    A_long height;
    bool clear;
    PF_PixelFormat format;
};

class WorldSuite {
public:
    explicit WorldSuite(Journal& journal);

    const PF_WorldSuite2* Table() const { return &table_; }

    // A world the host owns, zero-filled, each row `paddingPixels` longer than
    // the picture. Valid until this suite ends.
    PF_EffectWorld* MakeWorld(A_long width, A_long height, PF_PixelFormat format, A_long paddingPixels = 0);
    // Gives back a world from MakeWorld before the suite ends; the record is gone with it.
    void DisposeHostWorld(PF_EffectWorld* world);
    // Makes PF_GetPixelFormat report `format` for a host world, e.g. one the effect does not handle.
    void ReportFormatAs(const PF_EffectWorld* world, PF_PixelFormat format);

    // Row padding of the worlds the effect makes; by default not zero, so
    // that code which confuses a world's rowbytes with its width shows up.
    void SetRowPadding(A_long pixels);
    // Whether uncleared worlds the effect makes are filled with a marker
    // byte, so that reads of pixels it never wrote show; on by default.
    // Without it such a world holds whatever its memory held before.
    void SetMarkUnwritten(bool mark);
    void FailNewWorld(int nthCallFromNow, PF_Err code);
    void FailGetPixelFormat(int nthCallFromNow, PF_Err code);

    std::vector<WorldRequest> Requests() const;
    size_t LiveEffectWorlds() const;  // made by the effect, not yet disposed
    size_t KeptBytes() const;         // memory of disposed worlds kept for reuse

private:
    struct Buffer {
        PixelBlock memory;
        PF_PixelFormat format = 0;
        bool ownedByHost = false;
        PF_EffectWorld hostWorld{};  // the record handed out for host worlds
    };

    static PF_Err NewWorld(PF_ProgPtr effect_ref, A_long width, A_long height, PF_Boolean clear, PF_PixelFormat format,
                           PF_EffectWorld* world);
    static PF_Err DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld* world);
    static PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format);

    // Allocates and describes a buffer, its bytes all `fill` unless `fill`
    // is null; null when the size is out of range or memory runs out. Call
    // with the mutex held.
    std::unique_ptr<Buffer> Allocate(A_long width, A_long height, PF_PixelFormat format, A_long padding,
                                     const unsigned char* fill, PF_EffectWorld& world);
    // Erases a buffer, keeping its memory for reuse. Call with the mutex held.
    void Release(std::map<const void*, std::unique_ptr<Buffer>>::iterator it);

    Journal& journal_;
    PF_WorldSuite2 table_{};
    mutable std::mutex mutex_;
    std::map<const void*, std::unique_ptr<Buffer>> buffers_;  // by pixel address
    std::vector<WorldRequest> requests_;
    A_long rowPadding_ = 3;
    bool markUnwritten_ = true;
    WorldMemory memory_;
    FailurePlan newWorldFailures_;
    FailurePlan pixelFormatFailures_;
    ActiveSlot<WorldSuite> active_{this};
};

}  // namespace maculo::minihost
