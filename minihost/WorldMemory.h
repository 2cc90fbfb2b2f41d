// Pixel memory for worlds: blocks aligned to a cache line, and the blocks of
// disposed worlds kept for the next request of the same size, as the
// compositing host keeps its cache, so that a sequence of frames faults its
// pages in once instead of every frame.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>

namespace maculo::minihost {

// Where every world's pixels start: a whole cache line, as the host's own
// buffers do, so that the effect's vector loads never straddle two.
inline constexpr size_t kWorldAlignment = 64;

struct AlignedFree {
    void operator()(unsigned char* bytes) const noexcept;
};

// A block of pixel memory; its contents are undefined until written.
struct PixelBlock {
    std::unique_ptr<unsigned char[], AlignedFree> bytes;
    size_t size = 0;
};

// Not thread-safe: the world suite calls it under its own lock.
class WorldMemory {
public:
    // A block of `size` bytes: a kept one of exactly that size if there is
    // one, else a new one; an empty block when memory runs out.
    PixelBlock Take(size_t size);
    // Takes back the block of a disposed world. The blocks kept and those in
    // use together never exceed the most that was ever in use at once: the
    // oldest kept blocks go first.
    void Give(PixelBlock block);

    size_t KeptBytes() const { return keptBytes_; }

private:
    void TrimToPeak();

    std::deque<PixelBlock> kept_;  // oldest first
    size_t keptBytes_ = 0;
    size_t usedBytes_ = 0;
    size_t peakBytes_ = 0;
};

}  // namespace maculo::minihost
