// Every instruction set the blur kernels are built for, narrowest first, in
// one table. Its rows make the compiled kernel regions (BlurKernels.cpp), the
// enumeration and its list (the dispatch order, the tests' and the
// benchmark's sets), and the Windows check's list (scripts/test-windows.sh
// reads the rows as text, so each stays on one line).
//
// A row: (enumerator, key, name, vector bytes, target, commoning, schedule)
// - key: the name MACULO_ISA gives the set, and its kernels' namespace;
// - target: the compiler's name for the set, which is also the processor flag
//   the system reports for it;
// - commoning: 1 where GCC's predictive commoning pays. With AVX2 it keeps
//   the weights that the vertical pass's next rows need in registers and
//   spills sums for them; SSE2's smaller groups measured faster with it.
// - schedule: the KernelSchedule, field by field. AVX-512 has 32 vector
//   registers, the narrower sets 16: the groups of sums leave room for the
//   loaded pixels and a product (the weights are operands read from
//   memory; AVX2 measured slower with three vectors across, whose rows
//   then straddle cache lines, SSE2 faster), and only AVX-512 keeps a whole
//   default table's rolling sums in registers (with 16, spilled sums cost
//   more than the products they share). SSE2 rolls the tables whose sums
//   fit; AVX2 measured faster taking every product afresh even there. Only
//   AVX2 measured faster with its loads kept within cache lines (AVX-512
//   about 3% slower, SSE2's 16-byte loads never straddle two lines).
#pragma once

#include <boost/preprocessor/seq/elem.hpp>
#include <boost/preprocessor/seq/for_each.hpp>
#include <boost/preprocessor/seq/size.hpp>
#include <boost/preprocessor/stringize.hpp>
#include <boost/preprocessor/tuple/elem.hpp>
#include <boost/preprocessor/tuple/enum.hpp>

// clang-format off
#define MACULO_INSTRUCTION_SETS \
    ((kSse2, sse2, "SSE2", 16, "sse2", 1, (512 * 1024, 256 * 1024, 16, 64, 16, 11, 3, 0, 6, 256))) \
    ((kAvx2, avx2, "AVX2", 32, "avx2", 0, (512 * 1024, 256 * 1024, 16, 64, 32, 0, 2, 1, 8, 256))) \
    ((kAvx512, avx512, "AVX-512", 64, "avx512f", 1, (512 * 1024, 256 * 1024, 16, 64, 16, 25, 4, 0, 8, 256)))
// clang-format on

// Field i of a row.
#define MACULO_SET_FIELD(row, i) BOOST_PP_TUPLE_ELEM(7, i, row)
#define MACULO_SET_ENUMERATOR(row) MACULO_SET_FIELD(row, 0)
#define MACULO_SET_KEY(row) MACULO_SET_FIELD(row, 1)
#define MACULO_SET_NAME(row) MACULO_SET_FIELD(row, 2)
#define MACULO_SET_VECTOR_BYTES(row) MACULO_SET_FIELD(row, 3)
#define MACULO_SET_TARGET(row) MACULO_SET_FIELD(row, 4)
#define MACULO_SET_COMMONING(row) MACULO_SET_FIELD(row, 5)
#define MACULO_SET_SCHEDULE(row) \
    { BOOST_PP_TUPLE_ENUM(MACULO_SET_FIELD(row, 6)) }

#define MACULO_SET_COUNT BOOST_PP_SEQ_SIZE(MACULO_INSTRUCTION_SETS)
