// How the iteration holds the picture's channels. Every step treats the
// four channels apart, so a channel with the bits of an earlier one stays
// its copy, and a channel holding one value everywhere stays one value
// (each output of a blur adds the same products in the same order). Only
// the other channels are iterated, each as a plane of floats.
//
// A plane is cut into four lanes of rows, laid side by side as the four
// floats of a working image's pixels, so that the blur kernels work on
// planes unchanged: lane k of the packed row i is row Start(k) + i of the
// plane. Above and below its rows, a packed image holds `halo` rows that
// repeat rows of the other lanes (or mirror the plane's ends), so that the
// vertical pass reads, in every lane, the very pixels it reads in the plane.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/BandBlur.h"
#include "engine/PatternTypes.h"

namespace maculo {

inline constexpr int32_t kChannels = 4;

struct ChannelRole {
    enum Kind { kPlane, kConstant, kCopy } kind;
    int32_t source;  // kPlane: the plane's number; kCopy: the earlier channel it repeats
    float value;     // kConstant: the value everywhere
};

struct ChannelRoles {
    ChannelRole roles[kChannels];  // in memory order: alpha, red, green, blue
    int32_t planes;
    int32_t planeChannel[kChannels];  // the channel of plane p
};

// Compares the visible pixels of the image bit for bit.
ChannelRoles ReadChannelRoles(const PixelF* image, const ImageDims& dims);

// Where the lanes of the packed planes lie.
struct PackedPlanes {
    int32_t height;       // the picture's rows
    int32_t rows;         // rows of a lane
    int32_t halo;         // rows above and below the lanes
    ImageDims packed;     // one packed image, halo rows included
    int64_t planePixels;  // from one packed image to the next

    // Row of the picture that lane k's first row holds. The last lane ends
    // at the picture's end, so it may repeat rows of the one before it.
    int32_t Start(int32_t k) const;
    // Lane holding row m of the picture.
    int32_t LaneOf(int32_t m) const;
};

// The packing of `planes` planes of a width x height picture whose
// vertical windows reach `halo` rows, when they fit into a working image of
// these dimensions.
std::optional<PackedPlanes> FitPlanes(const ImageDims& dims, int32_t planes, int32_t halo);

// Whether fused steps can iterate planes packed so: the rows that mirror
// the picture's ends are repeated within their own lane and within reach
// of the ring (the lanes are taller than the windows).
bool FusesPlanes(const PackedPlanes& packing, int32_t sharpenReach);

// The images the iterations pass between them: `sections` images of dims
// each (sectionPixels apart), of which rows firstRow ... firstRow + rows - 1
// are computed. Four channels in place make one section; packed planes one
// each, whose halo rows follow the rows computed; with no plane to iterate
// there is none.
struct ChannelLayout {
    enum class Kind { kPixels, kPlanes, kNoPlane } kind;
    int32_t sections;
    ImageDims dims;
    int64_t sectionPixels;
    int32_t firstRow;
    int32_t rows;
    PackedPlanes packing;  // kPlanes only

    static ChannelLayout Pixels(const ImageDims& dims);
    static ChannelLayout Planes(const PackedPlanes& packing, int32_t planes);
    static ChannelLayout NoPlane(const ImageDims& dims);

    // Rows of a section that repeat others: refilled once those are done.
    int32_t HaloRows() const { return kind == Kind::kPlanes ? 2 * packing.halo : 0; }
    // Refills the halo rows of one section (its first row at `section`)
    // that repeat rows from ... to - 1 of its lanes.
    void FillHalo(PixelF* section, int32_t from, int32_t to) const;
    // The same for halo row h alone (0 ... HaloRows() - 1, those above the
    // lanes first).
    void FillHaloRow(PixelF* section, int32_t h, int32_t from, int32_t to) const;
    // The pattern blur of a section's rows from ... to - 1 in a ring,
    // computed lane by lane as if the picture went on past its ends, becomes
    // there the mirror of the rows inside it, as the other steps read it.
    void MirrorRing(const RowPlace<PixelF>& ring, int32_t from, int32_t to) const;
};

// Packs the roles' planes of the picture, halo rows included.
void PackPlanes(const PixelF* image, const ImageDims& dims, const ChannelRoles& roles, const PackedPlanes& packing,
                PixelF* packed);

// Writes the planes of the layout's sections (from `sections`), the
// constants (`constants[c]` for channel c) and the copies into the visible
// pixels of the picture.
void UnpackPlanes(const PixelF* sections, const ChannelLayout& layout, const ChannelRoles& roles,
                  const float* constants, PixelF* image, const ImageDims& dims);

}  // namespace maculo
