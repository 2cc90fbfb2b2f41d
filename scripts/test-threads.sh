#!/usr/bin/env bash
# The tests of code that runs on several threads at once (the OpenMP loops,
# GPU renders sharing one device, eight frames at once through the plug-in),
# built with clang and its OpenMP runtime and run under ThreadSanitizer.
# GCC's OpenMP runtime hides its synchronisation from the sanitizer; clang's
# reports it.
set -euo pipefail
cd "$(dirname "$0")/.."

CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DMACULO_SANITIZE=thread -DMACULO_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$(nproc)" --target thread_tests
ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" -L threads
