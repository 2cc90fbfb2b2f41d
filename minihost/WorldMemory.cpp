#include "minihost/WorldMemory.h"

#include <algorithm>
#include <new>

#include "minihost/LargePages.h"

namespace maculo::minihost {

void AlignedFree::operator()(unsigned char* bytes) const noexcept {
    ::operator delete[](bytes, std::align_val_t{kWorldAlignment});
}

PixelBlock WorldMemory::Take(size_t size) {
    const auto same = std::find_if(kept_.begin(), kept_.end(), [&](const PixelBlock& b) { return b.size == size; });
    PixelBlock block;
    if (same != kept_.end()) {
        block = std::move(*same);
        kept_.erase(same);
        keptBytes_ -= size;
    } else {
        // Uninitialised: a fresh block's pages are only touched when written.
        block.bytes.reset(new (std::align_val_t{kWorldAlignment}, std::nothrow) unsigned char[size]);
        if (!block.bytes) return {};
        block.size = size;
        AdviseLargePages(block.bytes.get(), size);
    }
    usedBytes_ += size;
    peakBytes_ = std::max(peakBytes_, usedBytes_);
    TrimToPeak();
    return block;
}

void WorldMemory::Give(PixelBlock block) {
    if (!block.bytes) return;
    usedBytes_ -= block.size;
    keptBytes_ += block.size;
    kept_.push_back(std::move(block));
    TrimToPeak();
}

void WorldMemory::TrimToPeak() {
    while (!kept_.empty() && keptBytes_ + usedBytes_ > peakBytes_) {
        keptBytes_ -= kept_.front().size;
        kept_.pop_front();
    }
}

}  // namespace maculo::minihost
