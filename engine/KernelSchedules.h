// Each instruction set's schedule of the blurs: how the work is cut and
// how many vectors the kernels keep in flight, apart from the arithmetic
// (BlurKernels.inl), which is the same for every set. A record per set,
// named in the set's row of InstructionSets.h. Its limits (Fits) are checked
// when the set's kernels are compiled, so a schedule that would spill the
// kernels' sums or cut bands the kernels cannot take does not build.
#pragma once

#include <cstdint>

namespace maculo {

// Output rows the vertical pass computes together, so that each source pixel
// it loads serves several sums.
inline constexpr int32_t kBandRows = 4;

// The shortest table the rolling sums take.
inline constexpr int32_t kFewestRollingTaps = 7;

// Fields without a set's own value take the one every set measured best with.
struct KernelSchedule {
    // A band is blurred in tiles of columns narrow enough that the lines of
    // a tile (linesBytes) and the rows a window of the vertical pass holds
    // (windowBytes) stay in the core's second-level cache; tiles are whole
    // groups of tileAlign pixels.
    int32_t linesBytes = 512 * 1024;
    int32_t windowBytes = 256 * 1024;
    int32_t tileAlign = 16;
    int32_t mostBandRows = 64;  // rows of a band, a multiple of kBandRows
    // Rows of a band of the iteration whose steps are fused, a multiple of
    // kBandRows: its ring holds a band and the sharpen window's reach on
    // either side.
    int32_t ringBandRows = 32;
    int32_t prefetchVectors;  // how far ahead the vertical pass fetches a row
    // Symmetric tables of up to mostRollingTaps taps keep all their sums in
    // progress in registers (0: no table does).
    int32_t mostRollingTaps;
    int32_t columnVectors;  // vectors the plain vertical pass sums together, times kBandRows
    // 1: the tiles and the plain vertical pass's groups start on cache
    // lines of the rows (single pixels before), so that no load straddles
    // two; 0: wherever the tile width puts them.
    int32_t alignColumns;
    int32_t rowVectors;           // pixels the plain horizontal pass sums together
    int32_t stretchPixels = 256;  // pixels the rolling horizontal pass finishes before writing
};

// Vector registers of an x86-64 set whose vectors are vectorBytes wide.
constexpr int32_t VectorRegisters(int32_t vectorBytes) { return vectorBytes == 64 ? 32 : 16; }

// Whether the kernels built from the schedule keep their sums in registers
// and get the bands and tiles they can take.
constexpr bool Fits(const KernelSchedule& s, int32_t vectorBytes) {
    const int32_t registers = VectorRegisters(vectorBytes);
    const int32_t pixelsPerVector = vectorBytes / 16;
    // Rolling sums: every sum in progress, the input and its product.
    const bool rolling = s.mostRollingTaps == 0 || (s.mostRollingTaps >= kFewestRollingTaps &&
                                                    s.mostRollingTaps % 2 == 1 && s.mostRollingTaps + 2 <= registers);
    // Plain vertical groups: kBandRows sums per vector, its pixels and a product.
    const bool columns = s.columnVectors >= 1 && s.columnVectors * (kBandRows + 1) + 1 <= registers;
    // Plain horizontal groups: a sum per pixel and a product.
    const bool rows = s.rowVectors >= 1 && s.rowVectors + 1 <= registers;
    const bool bands = s.mostBandRows >= kBandRows && s.mostBandRows % kBandRows == 0 && s.ringBandRows >= kBandRows &&
                       s.ringBandRows % kBandRows == 0 && s.ringBandRows <= s.mostBandRows;
    const bool tiles = s.tileAlign >= pixelsPerVector && s.tileAlign % pixelsPerVector == 0 &&
                       s.linesBytes >= s.mostBandRows * s.tileAlign * 16;
    const bool stretches = s.stretchPixels >= pixelsPerVector && s.stretchPixels % pixelsPerVector == 0;
    return rolling && columns && rows && bands && tiles && stretches && s.prefetchVectors >= 0 &&
           (s.alignColumns == 0 || s.alignColumns == 1);
}

// SSE2 rolls the tables whose sums fit in its 16 registers; three vectors
// across measured faster for its plain vertical pass.
inline constexpr KernelSchedule kSse2Schedule{
    .prefetchVectors = 16, .mostRollingTaps = 11, .columnVectors = 3, .alignColumns = 0, .rowVectors = 6};

// AVX2 measured faster taking every product afresh (with 16 registers,
// spilled rolling sums cost more than the products they share), with two
// vectors across (three straddle cache lines) and its loads kept within
// cache lines.
inline constexpr KernelSchedule kAvx2Schedule{
    .prefetchVectors = 32, .mostRollingTaps = 0, .columnVectors = 2, .alignColumns = 1, .rowVectors = 8};

// AVX-512's 32 registers keep a whole default table's rolling sums.
inline constexpr KernelSchedule kAvx512Schedule{
    .prefetchVectors = 16, .mostRollingTaps = 25, .columnVectors = 4, .alignColumns = 0, .rowVectors = 8};

}  // namespace maculo
