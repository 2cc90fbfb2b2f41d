// The channels the iteration has to compute. Every step treats the four
// channels apart, so a channel with the bits of an earlier one stays its
// copy, and a channel holding one value everywhere stays one value (each
// output of a blur adds the same products in the same order). Only the
// other channels are iterated, each as a plane of floats.
//
// A plane is cut into four strips of rows, laid side by side as the four
// lanes of a working image, so that the blur kernels work on planes
// unchanged: lane k of the packed row i is row Start(k) + i of the plane.
// Above and below its rows, a packed image holds `halo` rows that repeat
// rows of the other strips (or mirror the plane's ends), so that the
// vertical pass reads, in every lane, the very pixels it reads in the plane.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/PatternTypes.h"

namespace maculo {

inline constexpr int32_t kChannels = 4;

struct ChannelRole {
    enum Kind { kPlane, kConstant, kCopy } kind;
    int32_t source;  // kPlane: the plane's number; kCopy: the earlier channel it repeats
    float value;     // kConstant: the value everywhere
};

struct ChannelPlan {
    ChannelRole roles[kChannels];  // in memory order: alpha, red, green, blue
    int32_t planes;
    int32_t planeChannel[kChannels];  // the channel of plane p
};

// Compares the visible pixels of the image bit for bit.
ChannelPlan PlanChannels(const PixelF* image, const ImageDims& dims);

// Where the strips of the plane images lie.
struct PlaneStrips {
    int32_t height;       // the picture's rows
    int32_t rows;         // rows of a strip
    int32_t halo;         // rows above and below the strips
    ImageDims packed;     // one packed image, halo rows included
    int64_t planePixels;  // from one packed image to the next

    // Row of the picture that lane k's first row holds. The last strip ends
    // at the picture's end, so it may repeat rows of the one before it.
    int32_t Start(int32_t k) const;
    // Lane and row (without the halo) holding row m of the picture.
    int32_t LaneOf(int32_t m) const;
};

// The strips for `planes` planes of a width x height picture whose
// vertical windows reach `halo` rows, when they fit into a working image of
// these dimensions.
std::optional<PlaneStrips> FitPlanes(const ImageDims& dims, int32_t planes, int32_t halo);

// Packs the plan's planes of the picture, halo rows included.
void PackPlanes(const PixelF* image, const ImageDims& dims, const ChannelPlan& plan, const PlaneStrips& strips,
                PixelF* packed);

// Refills the halo rows of one packed image (its first halo row at
// `plane`) that repeat rows from ... to - 1 of the strips.
void FillHalo(const PlaneStrips& strips, PixelF* plane, int32_t from, int32_t to);

// The same for halo row h alone (0 ... 2 * halo - 1, those above the strips
// first).
void FillHaloRow(const PlaneStrips& strips, PixelF* plane, int32_t h, int32_t from, int32_t to);

// Writes the planes, the constants (`constants[c]` for channel c) and the
// copies into the visible pixels of the picture.
void UnpackPlanes(const PixelF* packed, const PlaneStrips* strips, const ChannelPlan& plan, const float* constants,
                  PixelF* image, const ImageDims& dims);

}  // namespace maculo
