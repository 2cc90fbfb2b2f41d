#include "engine/ChannelLayout.h"

#include <algorithm>
#include <cstring>

#include "engine/FilterShapes.h"

namespace maculo {
namespace {

// Float k of a pixel: channel k of the picture's, lane k of a packed one.
constexpr float PixelF::*kFloatOf[kChannels] = {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue};

using Bits4 = uint32_t __attribute__((vector_size(16)));
using Float4 = float __attribute__((vector_size(16)));

// Bit c * kChannels + d (d < c): channel c has channel d's bits everywhere;
// bit c * kChannels + c: channel c has one value everywhere.
constexpr uint32_t Alike(int c, int d) { return 1u << (c * kChannels + d); }

uint32_t AlikeInRow(const PixelF* row, int32_t width, Bits4 first) {
    // Differences ORed up, so that the loop has no branch: against the
    // first pixel, and against the channels one and two places on.
    Bits4 constant = {};
    Bits4 nextOne = {};
    Bits4 nextTwo = {};
    for (int32_t x = 0; x < width; ++x) {
        Bits4 bits;
        std::memcpy(&bits, row + x, sizeof bits);
        constant |= bits ^ first;
        nextOne |= bits ^ __builtin_shufflevector(bits, bits, 1, 2, 3, 0);
        nextTwo |= bits ^ __builtin_shufflevector(bits, bits, 2, 3, 0, 1);
    }
    uint32_t alike = 0;
    for (int c = 0; c < kChannels; ++c) {
        const int one = (c + 1) % kChannels;
        const int two = (c + 2) % kChannels;
        if (constant[c] == 0) alike |= Alike(c, c);
        if (nextOne[c] == 0) alike |= Alike(std::max(c, one), std::min(c, one));
        if (nextTwo[c] == 0) alike |= Alike(std::max(c, two), std::min(c, two));
    }
    return alike;
}

// m[c] lane k becomes m[k] lane c.
void Transpose(Float4 (&m)[kChannels]) {
    const Float4 lo01 = __builtin_shufflevector(m[0], m[1], 0, 4, 1, 5);
    const Float4 hi01 = __builtin_shufflevector(m[0], m[1], 2, 6, 3, 7);
    const Float4 lo23 = __builtin_shufflevector(m[2], m[3], 0, 4, 1, 5);
    const Float4 hi23 = __builtin_shufflevector(m[2], m[3], 2, 6, 3, 7);
    m[0] = __builtin_shufflevector(lo01, lo23, 0, 1, 4, 5);
    m[1] = __builtin_shufflevector(lo01, lo23, 2, 3, 6, 7);
    m[2] = __builtin_shufflevector(hi01, hi23, 0, 1, 4, 5);
    m[3] = __builtin_shufflevector(hi01, hi23, 2, 3, 6, 7);
}

// Picture row that lane k of packed row y holds before mirroring, and the
// packed row of the same lane whose picture row it mirrors.
int32_t Unmirrored(const PackedPlanes& packing, int32_t k, int32_t y) { return packing.Start(k) + y - packing.halo; }
int32_t MirrorSource(const PackedPlanes& packing, int32_t k, int32_t y) {
    return MirrorIndex(Unmirrored(packing, k, y), packing.height - 1) - packing.Start(k) + packing.halo;
}
bool InPicture(const PackedPlanes& packing, int32_t k, int32_t y) {
    const int32_t u = Unmirrored(packing, k, y);
    return u >= 0 && u < packing.height;
}

}  // namespace

ChannelRoles ReadChannelRoles(const PixelF* image, const ImageDims& dims) {
    Bits4 first;
    std::memcpy(&first, image, sizeof first);
    uint32_t alike = ~0u;
#pragma omp parallel for schedule(static) reduction(& : alike)
    for (int32_t y = 0; y < dims.height; ++y) {
        if (alike != 0) alike &= AlikeInRow(image + static_cast<int64_t>(y) * dims.pitch, dims.width, first);
    }

    ChannelRoles found{};
    for (int c = 0; c < kChannels; ++c) {
        ChannelRole& role = found.roles[c];
        role = {ChannelRole::kPlane, found.planes, 0.0f};
        for (int d = 0; d < c && role.kind == ChannelRole::kPlane; ++d) {
            if (found.roles[d].kind != ChannelRole::kCopy && (alike & Alike(c, d)))
                role = {ChannelRole::kCopy, d, 0.0f};
        }
        if (role.kind == ChannelRole::kPlane && (alike & Alike(c, c))) {
            role = {ChannelRole::kConstant, 0, image->*kFloatOf[c]};
        }
        if (role.kind == ChannelRole::kPlane) found.planeChannel[found.planes++] = c;
    }
    return found;
}

int32_t PackedPlanes::Start(int32_t k) const { return std::min(k * rows, height - rows); }

int32_t PackedPlanes::LaneOf(int32_t m) const { return std::min(m / rows, kChannels - 1); }

std::optional<PackedPlanes> FitPlanes(const ImageDims& dims, int32_t planes, int32_t halo) {
    if (dims.width <= 0 || dims.height <= 0 || planes <= 0) return std::nullopt;
    // Rows of every packed image start equally aligned to the widest vector.
    constexpr int32_t kPixelsPerVector = 4;
    const int32_t rows = (dims.height + kChannels - 1) / kChannels;
    const ImageDims packed{dims.width, rows + 2 * halo,
                           (dims.width + kPixelsPerVector - 1) / kPixelsPerVector * kPixelsPerVector};
    const int64_t planePixels = static_cast<int64_t>(packed.pitch) * packed.height;
    if (planes * planePixels > static_cast<int64_t>(dims.pitch) * dims.height) return std::nullopt;
    return PackedPlanes{dims.height, rows, halo, packed, planePixels};
}

bool FusesPlanes(const PackedPlanes& packing, int32_t sharpenReach) {
    // A halo row is mirrored within the ring when its source is one of the
    // lane's own rows no farther from the lane's end than the reach.
    const int32_t first = packing.halo;
    const int32_t end = packing.halo + packing.rows;
    for (int32_t d = 1; d <= sharpenReach; ++d) {
        for (int32_t k = 0; k < kChannels; ++k) {
            const int32_t above = first - d;
            const int32_t below = end - 1 + d;
            if (!InPicture(packing, k, above)) {
                const int32_t source = MirrorSource(packing, k, above);
                if (source < first || source > first + sharpenReach || source >= end) return false;
            }
            if (!InPicture(packing, k, below)) {
                const int32_t source = MirrorSource(packing, k, below);
                if (source >= end || source < end - 1 - sharpenReach || source < first) return false;
            }
        }
    }
    return true;
}

ChannelLayout ChannelLayout::Pixels(const ImageDims& dims) { return {Kind::kPixels, 1, dims, 0, 0, dims.height, {}}; }

ChannelLayout ChannelLayout::Planes(const PackedPlanes& packing, int32_t planes) {
    return {Kind::kPlanes, planes, packing.packed, packing.planePixels, packing.halo, packing.rows, packing};
}

ChannelLayout ChannelLayout::NoPlane(const ImageDims& dims) { return {Kind::kNoPlane, 0, dims, 0, 0, 0, {}}; }

void PackPlanes(const PixelF* image, const ImageDims& dims, const ChannelRoles& roles, const PackedPlanes& packing,
                PixelF* packed) {
    const int32_t last = dims.height - 1;
#pragma omp parallel for schedule(static)
    for (int32_t r = 0; r < packing.packed.height; ++r) {
        const PixelF* from[kChannels];
        for (int k = 0; k < kChannels; ++k) {
            from[k] = image + static_cast<int64_t>(MirrorIndex(packing.Start(k) + r - packing.halo, last)) * dims.pitch;
        }
        PixelF* out = packed + static_cast<int64_t>(r) * packing.packed.pitch;
        for (int32_t x = 0; x < dims.width; ++x) {
            // Pixel x of the four rows, turned into one vector per channel.
            Float4 m[kChannels];
            for (int k = 0; k < kChannels; ++k) std::memcpy(&m[k], from[k] + x, sizeof m[k]);
            Transpose(m);
            for (int32_t p = 0; p < roles.planes; ++p) {
                std::memcpy(out + p * packing.planePixels + x, &m[roles.planeChannel[p]], sizeof(PixelF));
            }
        }
    }
}

void ChannelLayout::FillHaloRow(PixelF* section, int32_t h, int32_t from, int32_t to) const {
    const int32_t last = packing.height - 1;
    const auto rowAt = [&](int32_t i) { return section + static_cast<int64_t>(i + packing.halo) * dims.pitch; };
    const int32_t i = h < packing.halo ? h - packing.halo : packing.rows + h - packing.halo;
    // Lane k of row i repeats lane outOf[k] of row in[k], where that row is
    // one of those given.
    const PixelF* in[kChannels] = {};
    float PixelF::*outOf[kChannels] = {};
    int given = 0;
    for (int k = 0; k < kChannels; ++k) {
        const int32_t m = MirrorIndex(packing.Start(k) + i, last);
        const int32_t lane = packing.LaneOf(m);
        const int32_t row = m - packing.Start(lane);
        if (row < from || row >= to) continue;
        in[k] = rowAt(row);
        outOf[k] = kFloatOf[lane];
        ++given;
    }
    PixelF* out = rowAt(i);
    const int32_t width = dims.width;
    if (given == kChannels) {
        // Whole pixels, so that the row's old values are not read.
        for (int32_t x = 0; x < width; ++x) {
            out[x] = {in[0][x].*outOf[0], in[1][x].*outOf[1], in[2][x].*outOf[2], in[3][x].*outOf[3]};
        }
        return;
    }
    // Only the lanes given: other threads may be filling the others.
    for (int k = 0; k < kChannels; ++k) {
        if (!in[k]) continue;
        float PixelF::*into = kFloatOf[k];
        for (int32_t x = 0; x < width; ++x) out[x].*into = in[k][x].*outOf[k];
    }
}

void ChannelLayout::FillHalo(PixelF* section, int32_t from, int32_t to) const {
    for (int32_t h = 0; h < HaloRows(); ++h) FillHaloRow(section, h, from, to);
}

void ChannelLayout::MirrorRing(const RowPlace<PixelF>& ring, int32_t from, int32_t to) const {
    if (kind != Kind::kPlanes) return;
    const int32_t width = dims.width;
    for (int32_t y = from; y < to; ++y) {
        for (int32_t k = 0; k < kChannels; ++k) {
            if (InPicture(packing, k, y)) continue;
            const PixelF* in = ring.Row(MirrorSource(packing, k, y));
            PixelF* out = ring.Row(y);
            float PixelF::*lane = kFloatOf[k];
            for (int32_t x = 0; x < width; ++x) out[x].*lane = in[x].*lane;
        }
    }
}

void UnpackPlanes(const PixelF* sections, const ChannelLayout& layout, const ChannelRoles& roles,
                  const float* constants, PixelF* image, const ImageDims& dims) {
    // Vector `pick[c]` of the candidates becomes channel c: a plane's pixel
    // (one row in each lane) or a constant in every lane.
    int pick[kChannels] = {};
    Float4 candidates[2 * kChannels];
    for (int c = 0; c < kChannels; ++c) {
        const ChannelRole& role = roles.roles[c];
        pick[c] = role.kind == ChannelRole::kPlane  ? role.source
                  : role.kind == ChannelRole::kCopy ? pick[role.source]
                                                    : kChannels + c;
        candidates[kChannels + c] = Float4{} + constants[c];
    }
    // Packed rows i hold picture rows Start(k) + i; the rows the last two
    // lanes share are written from the lane that holds them.
    const bool packed = layout.kind == ChannelLayout::Kind::kPlanes;
    const PackedPlanes& packing = layout.packing;
    const int32_t rows = packed ? packing.rows : dims.height;
#pragma omp parallel for schedule(static) firstprivate(candidates)
    for (int32_t i = 0; i < rows; ++i) {
        PixelF* out[kChannels] = {};
        for (int k = 0; k < kChannels; ++k) {
            const int32_t y = packed ? packing.Start(k) + i : i;
            if ((packed ? packing.LaneOf(y) : 0) == k) out[k] = image + static_cast<int64_t>(y) * dims.pitch;
        }
        const PixelF* in = packed ? sections + static_cast<int64_t>(i + packing.halo) * packing.packed.pitch : nullptr;
        for (int32_t x = 0; x < dims.width; ++x) {
            for (int32_t p = 0; p < roles.planes; ++p) {
                std::memcpy(&candidates[p], in + p * packing.planePixels + x, sizeof(PixelF));
            }
            Float4 m[kChannels];
            for (int c = 0; c < kChannels; ++c) m[c] = candidates[pick[c]];
            Transpose(m);
            for (int k = 0; k < kChannels; ++k) {
                if (out[k]) std::memcpy(out[k] + x, &m[k], sizeof(PixelF));
            }
        }
    }
}

}  // namespace maculo
