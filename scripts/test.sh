#!/usr/bin/env bash
# Installs what the build needs (Debian 12), builds, and runs the whole suite,
# then the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMACULO_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMACULO_SANITIZE=address,undefined \
      -DMACULO_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs" --target sanitized_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L sanitized

# The concurrency tests under ThreadSanitizer, then the frame fuzzer for two minutes.
scripts/test-threads.sh
scripts/fuzz.sh 120

# The Windows plug-in, built with MinGW-w64 and exercised under Wine, with its
# zip and installer.
scripts/test-windows.sh

# The Debian package, built, judged by lintian, installed, used and purged.
scripts/test-package.sh
