// libFuzzer's entry: one fuzzed frame per input. A broken promise is a crash
// for the fuzzer, which keeps the input; tests/fuzz/regressions then holds it
// for the corpus tests.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/FuzzedFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> problems = maculo::fuzz::RunFuzzedFrame(data, size);
    for (const std::string& problem : problems) std::fprintf(stderr, "broken promise: %s\n", problem.c_str());
    if (!problems.empty()) std::abort();
    return 0;
}
