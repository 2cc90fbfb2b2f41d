// The inner loops of the blurs, compiled once per x86-64 vector width and
// chosen at run time. Every path does, lane by lane, the very operations of the
// plain formulas in the same order (separate multiplies and adds, never fused),
// so all of them give the same bits.
#pragma once

#include <cstdint>

#include "engine/PatternTypes.h"

namespace maculo {

// Output rows the vertical pass computes together, so that each source pixel
// it loads serves several sums.
inline constexpr int32_t kBandRows = 4;

// One filter along a line: a Gaussian weight table, or a box window.
struct LineFilter {
    const float* weights;  // the table; nullptr for the box
    int32_t taps;          // table length, or the box's whole pixels k (both odd)
    float edgeWeight;      // the box's weight f for the pixel beyond each end of its window
    float divisor;         // sum of the table in table order, or (f + f) + k

    int32_t Half() const { return taps / 2; }
    // How far from its centre a window reads.
    int32_t Reach() const { return weights ? Half() : Half() + 1; }
};

// The Gaussian table of the given length (sum taken in table order), or the
// box window of width a.
LineFilter TableFilter(const float* weights, int32_t taps);
LineFilter BoxFilter(float a);

// The kernels work on lines that hold `lanes` image rows side by side:
// pixel p of the line's row k is line[p * lanes + k], so that one vector is one
// pixel of each row.
struct BlurKernelSet {
    const char* name;
    int32_t lanes;  // rows side by side in a line; kBandRows is a multiple

    // Vertical pass of kBandRows output rows y ... y + kBandRows - 1 over
    // pixels from ... to - 1. rows[g], for g = -kBandRows ... filter.taps +
    // kBandRows - 1, is image row y + kBandRows - 1 + filter.Half() - g
    // (mirrored into the image): g climbs from the lowest row any output
    // reads (g = -1 for the box); the rows below are only fetched into the
    // cache for the next band. Output j meets its taps from the bottom of its
    // window upwards, as the pass along the rows of the quarter-turned image
    // does, and its clamped result goes to row j % lanes of lines[j / lanes].
    void (*columns)(const PixelF* const* rows, int32_t from, int32_t to, const LineFilter& filter,
                    PixelF* const* lines);

    // Horizontal pass over pixels from ... to - 1 of the line's first
    // `count` rows; the line holds every pixel their windows reach (mirrored
    // pixels past either end of the row). Writes row k's clamped result to
    // out[k], or, when sharp is given, the clamped unsharp mask
    // (sharp[k] - result) * amount + sharp[k].
    void (*row)(const PixelF* line, int32_t from, int32_t to, const LineFilter& filter, int32_t count,
                PixelF* const* out, const PixelF* const* sharp, float amount);
};

enum class InstructionSet { kSse2, kAvx2, kAvx512 };

// The kernels for one instruction set, or nullptr when this processor (and
// its operating system) cannot run them.
const BlurKernelSet* KernelsFor(InstructionSet set);

// The widest kernels this processor runs.
const BlurKernelSet& BestKernels();

enum class LineEnd { kStart, kEnd };

// Fills the reach pixels past one end of every row of a line of `lanes` rows
// and width pixels by mirroring (again and again for rows shorter than the
// reach).
void PadLine(PixelF* line, int32_t width, int32_t reach, int32_t lanes, LineEnd end);

}  // namespace maculo
