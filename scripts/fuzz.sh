#!/usr/bin/env bash
# Builds the frame fuzzer (clang: libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it from the committed seeds for a bounded time, 120 seconds unless
# given: scripts/fuzz.sh [SECONDS]. An input that breaks a promise is left in
# build-fuzz/artifacts/; it belongs in tests/fuzz/regressions/ with its fix.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DMACULO_SANITIZE=address,undefined -DMACULO_FUZZ=ON -DMACULO_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target frame_fuzzer

# The fuzzer adds what it learns to a working corpus; the committed seeds stay as they are.
mkdir -p build-fuzz/corpus build-fuzz/artifacts
log=build-fuzz/fuzz.log
if ! build-fuzz/tests/fuzz/frame_fuzzer build-fuzz/corpus tests/fuzz/corpus -max_total_time="$seconds" \
       -timeout=60 -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1 >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "The fuzzer found an input that breaks a promise: build-fuzz/artifacts/" >&2
    exit 1
fi
grep -E "^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|slowest_unit_time_sec|peak_rss_mb)" "$log"
