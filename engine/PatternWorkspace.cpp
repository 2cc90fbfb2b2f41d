#include "engine/PatternWorkspace.h"

namespace maculo {

bool PatternWorkspace::Reshape(const ScratchShape& shape) {
    if (shape == shape_) return false;
    // Empty until the new scratch is whole: a call that fails to make it
    // leaves nothing a later call could take for ready.
    shape_ = {};
    chunks_.clear();
    bands_.clear();
    return true;
}

std::vector<ChunkScratch>& PatternWorkspace::ChunksFor(const ScratchShape& shape) {
    if (Reshape(shape)) {
        chunks_.reserve(static_cast<size_t>(shape.threads));
        for (int t = 0; t < shape.threads; ++t) {
            chunks_.emplace_back(shape.width, shape.ringRows, shape.bandRows, shape.reach, shape.taps, *shape.kernels);
        }
        shape_ = shape;
    }
    return chunks_;
}

std::vector<BandScratch>& PatternWorkspace::BandsFor(const ScratchShape& shape) {
    if (Reshape(shape)) {
        bands_.reserve(static_cast<size_t>(shape.threads));
        for (int t = 0; t < shape.threads; ++t) {
            bands_.emplace_back(shape.width, shape.bandRows, shape.reach, shape.taps, *shape.kernels);
        }
        shape_ = shape;
    }
    return bands_;
}

}  // namespace maculo
