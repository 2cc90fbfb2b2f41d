// The inner loops of the blurs, compiled once per x86-64 vector width and
// chosen at run time. Every path does, lane by lane, the very operations of the
// plain formulas in the same order (separate multiplies and adds, never fused),
// so all of them give the same bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/InstructionSets.h"
#include "engine/PatternTypes.h"

namespace maculo {

// Rows a band's row table holds beyond either end of what its outputs read.
inline constexpr int32_t kBandSlack = 2 * kBandRows;

// A cache line, which is also the widest vector.
inline constexpr size_t kCacheLineBytes = 64;

// Floats of the widest vector: a weight table repeats each weight this many
// times, so that a vector of any set loads a weight whole rather than
// spreading it over its lanes at every use.
inline constexpr int32_t kSpread = kCacheLineBytes / sizeof(float);

// One filter along a line: a Gaussian weight table, or a box window.
struct LineFilter {
    enum class Kind { kTable, kBox } kind;
    const float* spread;  // weight t from spread + t * kSpread, kSpread times (the box has none)
    int32_t taps;         // table length, or the box's whole pixels k (both odd)
    float edgeWeight;     // the box's weight f for the pixel beyond each end of its window
    float divisor;        // sum of the table in table order, or (f + f) + k
    bool symmetric;       // weights t and taps - 1 - t have the same bits

    float Weight(int32_t t) const { return spread[static_cast<int64_t>(t) * kSpread]; }
    int32_t Half() const { return taps / 2; }
    // How far from its centre a window reads.
    int32_t Reach() const { return kind == Kind::kTable ? Half() : Half() + 1; }
};

// The Gaussian table of the given length, spread (sum taken in table
// order), or the box window of width a.
LineFilter TableFilter(const float* spread, int32_t taps);
LineFilter BoxFilter(float a);

// The vertical pass of the `count` output rows y0 ... y0 + count - 1 of a
// band over pixels from ... to - 1. band[s], for s = -kBandSlack ...
// count + filter.taps + kBandSlack - 1, is image row y0 + count - 1 +
// filter.Half() - s (mirrored into the image): s climbs from the lowest
// row the band reads. Output y meets its taps from the bottom of its
// window upwards, as the pass along the rows of the quarter-turned image
// does, and its clamped result goes to row j % rowsPerLine of line j / rowsPerLine,
// j = y - y0, line i starting at firstLine + i * lineStride. Bands are
// passed over from the bottom of a run of them upwards; with `resume`,
// the band resumes from the one just below it, with the sums in progress
// that pass left in `state` (width * 4 * stateSums floats, width the
// image's), so that the rows they share are read only once.
struct ColumnPass {
    const PixelF* const* band;
    int32_t count;
    int32_t from;
    int32_t to;
    const LineFilter& filter;
    PixelF* firstLine;
    int64_t lineStride;
    float* state;
    int32_t width;
    bool resume;
};

// The horizontal pass over pixels from ... to - 1 of the line's first
// `count` rows; the line holds every pixel their windows reach and one
// more (mirrored pixels past either end of the row). Writes row k's clamped
// result to out[k], or, when sharp is given, the clamped unsharp mask
// (sharp[k] - result) * amount + sharp[k]. A line is passed over from pixel
// 0 to its end in one call or in several, each resuming where the last one
// stopped (at an even pixel), with `state` (stateFloats floats, one per
// line) carrying the sums in progress from call to call. With stream,
// results that fill whole cache lines bypass the caches.
struct RowPass {
    const PixelF* line;
    int32_t from;
    int32_t to;
    const LineFilter& filter;
    int32_t count;
    PixelF* const* out;
    const PixelF* const* sharp;
    float amount;
    float* state;
    bool stream;
};

// The kernels work on lines that hold `rowsPerLine` image rows side by side:
// pixel p of the line's row k is line[p * rowsPerLine + k], so that one vector is one
// pixel of each row.
struct BlurKernelSet {
    const char* name;
    const char* key;      // the name MACULO_ISA gives it
    int32_t rowsPerLine;  // rows side by side in a line; kBandRows is a multiple
    void (*columns)(const ColumnPass& pass);
    void (*row)(const RowPass& pass);
    // The sums in progress of a column or a line number at most stateSums
    // (symmetric tables up to the schedule's limit are summed by rolling
    // sums, each product of a weight and an input passed to both outputs its
    // weight serves; other tables and the box take every product afresh).
    int32_t stateSums;
    int32_t stateFloats;  // the row pass's state: stateSums vectors
    KernelSchedule schedule;
};

#define MACULO_SET_ENUMERATOR_ITEM(r, data, row) MACULO_SET_ENUMERATOR(row),
enum class InstructionSet { BOOST_PP_SEQ_FOR_EACH(MACULO_SET_ENUMERATOR_ITEM, _, MACULO_INSTRUCTION_SETS) };
#undef MACULO_SET_ENUMERATOR_ITEM

// Every set the kernels are built for, narrowest first: the order in which
// the widest one is found, and the list the tests and the benchmark go
// through.
#define MACULO_SET_LIST_ITEM(r, data, row) InstructionSet::MACULO_SET_ENUMERATOR(row),
inline constexpr InstructionSet kInstructionSets[] = {
    BOOST_PP_SEQ_FOR_EACH(MACULO_SET_LIST_ITEM, _, MACULO_INSTRUCTION_SETS)};
#undef MACULO_SET_LIST_ITEM

// Each set's MACULO_ISA key and the processor flag it needs (the
// compiler's name for it), in the order of kInstructionSets: the sets this
// build holds, whatever the processor.
struct InstructionSetNames {
    const char* key;
    const char* target;
};

#define MACULO_SET_NAMES_ITEM(r, data, row) \
    InstructionSetNames{BOOST_PP_STRINGIZE(MACULO_SET_KEY(row)), MACULO_SET_TARGET(row)},
inline constexpr InstructionSetNames kInstructionSetNames[] = {
    BOOST_PP_SEQ_FOR_EACH(MACULO_SET_NAMES_ITEM, _, MACULO_INSTRUCTION_SETS)};
#undef MACULO_SET_NAMES_ITEM

// The kernels for one instruction set, or nullptr when this processor (and
// its operating system) cannot run them.
const BlurKernelSet* KernelsFor(InstructionSet set);

// The widest kernels this processor runs up to the set with the given key
// (none, or one no set has: the widest of all).
const BlurKernelSet& WidestKernelsUpTo(const char* key);

// The widest kernels up to the set the environment variable MACULO_ISA
// names (sse2, avx2 or avx512), so that a narrower set can be run on a
// wider processor.
const BlurKernelSet& BestKernels();

enum class LineEnd { kStart, kEnd };

// Fills the reach pixels past one end of every row of a line of `rowsPerLine` rows
// and width pixels by mirroring (again and again for rows shorter than the
// reach).
void PadLine(PixelF* line, int32_t width, int32_t reach, int32_t rowsPerLine, LineEnd end);

}  // namespace maculo
