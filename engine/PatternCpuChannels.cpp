#include "engine/PatternCpuChannels.h"

#include <algorithm>
#include <cstring>

#include "engine/FilterShapes.h"

namespace maculo {
namespace {

constexpr float PixelF::*kChannelOf[kChannels] = {&PixelF::alpha, &PixelF::red, &PixelF::green, &PixelF::blue};

// Bit c * kChannels + d (d < c): channel c has channel d's bits everywhere;
// bit c * kChannels + c: channel c has one value everywhere.
constexpr uint32_t Alike(int c, int d) { return 1u << (c * kChannels + d); }

uint32_t AlikeInRow(const PixelF* row, int32_t width, const uint32_t (&first)[kChannels]) {
    // Differences ORed up, so that the loop has no branch.
    uint32_t differ[kChannels][kChannels] = {};
    for (int32_t x = 0; x < width; ++x) {
        uint32_t bits[kChannels];
        std::memcpy(bits, row + x, sizeof bits);
        for (int c = 0; c < kChannels; ++c) {
            differ[c][c] |= bits[c] ^ first[c];
            for (int d = 0; d < c; ++d) differ[c][d] |= bits[c] ^ bits[d];
        }
    }
    uint32_t alike = 0;
    for (int c = 0; c < kChannels; ++c) {
        for (int d = 0; d <= c; ++d) alike |= differ[c][d] == 0 ? Alike(c, d) : 0;
    }
    return alike;
}

}  // namespace

ChannelPlan PlanChannels(const PixelF* image, const ImageDims& dims) {
    uint32_t first[kChannels];
    std::memcpy(first, image, sizeof first);
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
        for (int32_t p = 0; p < plan.planes; ++p) {
            float PixelF::*channel = kChannelOf[plan.planeChannel[p]];
            PixelF* out = packed + p * strips.planePixels + static_cast<int64_t>(r) * strips.packed.pitch;
            for (int32_t x = 0; x < dims.width; ++x) {
                out[x] = {from[0][x].*channel, from[1][x].*channel, from[2][x].*channel, from[3][x].*channel};
            }
        }
    }
}

void FillHalo(const PlaneStrips& strips, PixelF* plane, int32_t from, int32_t to) {
    const int32_t last = strips.height - 1;
    const auto fill = [&](int32_t i) {
        PixelF* out = plane + static_cast<int64_t>(i + strips.halo) * strips.packed.pitch;
        for (int k = 0; k < kChannels; ++k) {
            const int32_t m = MirrorIndex(strips.Start(k) + i, last);
            const int32_t lane = strips.LaneOf(m);
            const int32_t row = m - strips.Start(lane);
            if (row < from || row >= to) continue;
            const PixelF* in = plane + static_cast<int64_t>(row + strips.halo) * strips.packed.pitch;
            float PixelF::*into = kChannelOf[k];
            float PixelF::*outOf = kChannelOf[lane];
            for (int32_t x = 0; x < strips.packed.width; ++x) out[x].*into = in[x].*outOf;
        }
    };
    for (int32_t i = -strips.halo; i < 0; ++i) fill(i);
    for (int32_t i = strips.rows; i < strips.rows + strips.halo; ++i) fill(i);
}

void UnpackPlanes(const PixelF* packed, const PlaneStrips* strips, const ChannelPlan& plan,
                  const float* constants, PixelF* image, const ImageDims& dims) {
#pragma omp parallel for schedule(static)
    for (int32_t y = 0; y < dims.height; ++y) {
        PixelF* out = image + static_cast<int64_t>(y) * dims.pitch;
        for (int c = 0; c < kChannels; ++c) {
            const ChannelRole& role = plan.roles[c];
            float PixelF::*channel = kChannelOf[c];
            if (role.kind == ChannelRole::kConstant) {
                for (int32_t x = 0; x < dims.width; ++x) out[x].*channel = constants[c];
            } else if (role.kind == ChannelRole::kCopy) {
                float PixelF::*source = kChannelOf[role.source];
                for (int32_t x = 0; x < dims.width; ++x) out[x].*channel = out[x].*source;
            } else {
                const int32_t lane = strips->LaneOf(y);
                const PixelF* in = packed + role.source * strips->planePixels +
                                   static_cast<int64_t>(y - strips->Start(lane) + strips->halo) * strips->packed.pitch;
                float PixelF::*outOf = kChannelOf[lane];
                for (int32_t x = 0; x < dims.width; ++x) out[x].*channel = in[x].*outOf;
            }
        }
    }
}

}  // namespace maculo
