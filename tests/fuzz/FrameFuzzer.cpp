// libFuzzer's entry: one fuzzed frame per input. A broken promise is a crash
// for the fuzzer, which keeps the input; tests/fuzz/regressions then holds it
// for the corpus tests.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/FuzzedFrame.h"

// The OpenCL driver's compiler (LLVM) takes over the crash signals through
// which libFuzzer saves a failing input, so the fuzzer runs without OpenCL
// drivers: global setup finds no GPU and every frame renders on the processor,
// as on a machine without one.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("OCL_ICD_VENDORS", "/nonexistent", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> problems = maculo::fuzz::RunFuzzedFrame(data, size);
    for (const std::string& problem : problems) std::fprintf(stderr, "broken promise: %s\n", problem.c_str());
    if (!problems.empty()) std::abort();
    return 0;
}
