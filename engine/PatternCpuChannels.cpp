#include "engine/PatternCpuChannels.h"

#include <algorithm>
#include <cstring>

#include "engine/FilterShapes.h"

namespace maculo {
namespace {

constexpr float PixelF::*kChannelOf[kChannels] = {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue};

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

}  // namespace

ChannelPlan PlanChannels(const PixelF* image, const ImageDims& dims) {
    Bits4 first;
    std::memcpy(&first, image, sizeof first);
    uint32_t alike = ~0u;
#pragma omp parallel for schedule(static) reduction(& : alike)
    for (int32_t y = 0; y < dims.height; ++y) {
        if (alike != 0) alike &= AlikeInRow(image + static_cast<int64_t>(y) * dims.pitch, dims.width, first);
    }

    ChannelPlan plan{};
    for (int c = 0; c < kChannels; ++c) {
        ChannelRole& role = plan.roles[c];
        role = {ChannelRole::kPlane, plan.planes, 0.0f};
        for (int d = 0; d < c && role.kind == ChannelRole::kPlane; ++d) {
            if (plan.roles[d].kind != ChannelRole::kCopy && (alike & Alike(c, d))) role = {ChannelRole::kCopy, d, 0.0f};
        }
        if (role.kind == ChannelRole::kPlane && (alike & Alike(c, c))) {
            role = {ChannelRole::kConstant, 0, image->*kChannelOf[c]};
        }
        if (role.kind == ChannelRole::kPlane) plan.planeChannel[plan.planes++] = c;
    }
    return plan;
}

int32_t PlaneStrips::Start(int32_t k) const { return std::min(k * rows, height - rows); }

int32_t PlaneStrips::LaneOf(int32_t m) const { return std::min(m / rows, kChannels - 1); }

std::optional<PlaneStrips> FitPlanes(const ImageDims& dims, int32_t planes, int32_t halo) {
    if (dims.width <= 0 || dims.height <= 0 || planes <= 0) return std::nullopt;
    // Rows of every packed image start equally aligned to the widest vector.
    constexpr int32_t kPixelsPerVector = 4;
    const int32_t rows = (dims.height + kChannels - 1) / kChannels;
    const ImageDims packed{dims.width, rows + 2 * halo,
                           (dims.width + kPixelsPerVector - 1) / kPixelsPerVector * kPixelsPerVector};
    const int64_t planePixels = static_cast<int64_t>(packed.pitch) * packed.height;
    if (planes * planePixels > static_cast<int64_t>(dims.pitch) * dims.height) return std::nullopt;
    return PlaneStrips{dims.height, rows, halo, packed, planePixels};
}

void PackPlanes(const PixelF* image, const ImageDims& dims, const ChannelPlan& plan, const PlaneStrips& strips,
                PixelF* packed) {
    const int32_t last = dims.height - 1;
#pragma omp parallel for schedule(static)
    for (int32_t r = 0; r < strips.packed.height; ++r) {
        const PixelF* from[kChannels];
        for (int k = 0; k < kChannels; ++k) {
            from[k] = image + static_cast<int64_t>(MirrorIndex(strips.Start(k) + r - strips.halo, last)) * dims.pitch;
        }
        PixelF* out = packed + static_cast<int64_t>(r) * strips.packed.pitch;
        for (int32_t x = 0; x < dims.width; ++x) {
            // Pixel x of the four rows, turned into one vector per channel.
            Float4 m[kChannels];
            for (int k = 0; k < kChannels; ++k) std::memcpy(&m[k], from[k] + x, sizeof m[k]);
            Transpose(m);
            for (int32_t p = 0; p < plan.planes; ++p) {
                std::memcpy(out + p * strips.planePixels + x, &m[plan.planeChannel[p]], sizeof(PixelF));
            }
        }
    }
}

void FillHaloRow(const PlaneStrips& strips, PixelF* plane, int32_t h, int32_t from, int32_t to) {
    const int32_t last = strips.height - 1;
    const auto rowAt = [&](int32_t i) { return plane + static_cast<int64_t>(i + strips.halo) * strips.packed.pitch; };
    const int32_t i = h < strips.halo ? h - strips.halo : strips.rows + h - strips.halo;
    // Lane k of row i repeats lane outOf[k] of row in[k], where that row is
    // one of those given.
    const PixelF* in[kChannels] = {};
    float PixelF::*outOf[kChannels] = {};
    int given = 0;
    for (int k = 0; k < kChannels; ++k) {
        const int32_t m = MirrorIndex(strips.Start(k) + i, last);
        const int32_t lane = strips.LaneOf(m);
        const int32_t row = m - strips.Start(lane);
        if (row < from || row >= to) continue;
        in[k] = rowAt(row);
        outOf[k] = kChannelOf[lane];
        ++given;
    }
    PixelF* out = rowAt(i);
    const int32_t width = strips.packed.width;
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
        float PixelF::*into = kChannelOf[k];
        for (int32_t x = 0; x < width; ++x) out[x].*into = in[k][x].*outOf[k];
    }
}

void FillHalo(const PlaneStrips& strips, PixelF* plane, int32_t from, int32_t to) {
    for (int32_t h = 0; h < 2 * strips.halo; ++h) FillHaloRow(strips, plane, h, from, to);
}

void UnpackPlanes(const PixelF* packed, const PlaneStrips* strips, const ChannelPlan& plan, const float* constants,
                  PixelF* image, const ImageDims& dims) {
    // Vector `pick[c]` of the candidates becomes channel c: a plane's pixel
    // (one row in each lane) or a constant in every lane.
    int pick[kChannels] = {};
    Float4 candidates[2 * kChannels];
    for (int c = 0; c < kChannels; ++c) {
        const ChannelRole& role = plan.roles[c];
        pick[c] = role.kind == ChannelRole::kPlane  ? role.source
                  : role.kind == ChannelRole::kCopy ? pick[role.source]
                                                    : kChannels + c;
        candidates[kChannels + c] = Float4{} + constants[c];
    }
    // Packed rows i hold picture rows Start(k) + i; the rows the last two
    // strips share are written from the strip that holds them.
    const int32_t rows = strips ? strips->rows : dims.height;
#pragma omp parallel for schedule(static) firstprivate(candidates)
    for (int32_t i = 0; i < rows; ++i) {
        PixelF* out[kChannels] = {};
        for (int k = 0; k < kChannels; ++k) {
            const int32_t y = strips ? strips->Start(k) + i : i;
            if ((strips ? strips->LaneOf(y) : 0) == k) out[k] = image + static_cast<int64_t>(y) * dims.pitch;
        }
        const PixelF* in = strips ? packed + static_cast<int64_t>(i + strips->halo) * strips->packed.pitch : nullptr;
        for (int32_t x = 0; x < dims.width; ++x) {
            for (int32_t p = 0; p < plan.planes; ++p) {
                std::memcpy(&candidates[p], in + p * strips->planePixels + x, sizeof(PixelF));
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
