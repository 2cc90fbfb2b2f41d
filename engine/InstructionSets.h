// Every instruction set the blur kernels are built for, narrowest first, in
// one table. Its rows make the compiled kernel regions (BlurKernels.cpp), the
// enumeration and its list (the dispatch order, the tests' and the
// benchmark's sets), and the list of sets the build reports
// (tests/windows/KernelSetList.cpp) for the Windows check.
//
// A row: (enumerator, key, name, vector bytes, target, commoning, schedule)
// - key: the name MACULO_ISA gives the set, and its kernels' namespace;
// - target: the compiler's name for the set, which is also the processor flag
//   the system reports for it;
// - commoning: 1 where GCC's predictive commoning pays. With AVX2 it keeps
//   the weights that the vertical pass's next rows need in registers and
//   spills sums for them; SSE2's smaller groups measured faster with it.
// - schedule: the set's KernelSchedule record (KernelSchedules.h).
#pragma once

#include "engine/KernelSchedules.h"

#include <boost/preprocessor/seq/elem.hpp>
#include <boost/preprocessor/seq/for_each.hpp>
#include <boost/preprocessor/seq/size.hpp>
#include <boost/preprocessor/stringize.hpp>
#include <boost/preprocessor/tuple/elem.hpp>

// clang-format off
#define MACULO_INSTRUCTION_SETS \
    ((kSse2, sse2, "SSE2", 16, "sse2", 1, kSse2Schedule)) \
    ((kAvx2, avx2, "AVX2", 32, "avx2", 0, kAvx2Schedule)) \
    ((kAvx512, avx512, "AVX-512", 64, "avx512f", 1, kAvx512Schedule))
// clang-format on

// Field i of a row.
#define MACULO_SET_FIELD(row, i) BOOST_PP_TUPLE_ELEM(7, i, row)
#define MACULO_SET_ENUMERATOR(row) MACULO_SET_FIELD(row, 0)
#define MACULO_SET_KEY(row) MACULO_SET_FIELD(row, 1)
#define MACULO_SET_NAME(row) MACULO_SET_FIELD(row, 2)
#define MACULO_SET_VECTOR_BYTES(row) MACULO_SET_FIELD(row, 3)
#define MACULO_SET_TARGET(row) MACULO_SET_FIELD(row, 4)
#define MACULO_SET_COMMONING(row) MACULO_SET_FIELD(row, 5)
#define MACULO_SET_SCHEDULE(row) MACULO_SET_FIELD(row, 6)

#define MACULO_SET_COUNT BOOST_PP_SEQ_SIZE(MACULO_INSTRUCTION_SETS)
