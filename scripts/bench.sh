#!/usr/bin/env bash
# Installs what the benchmark needs (Debian 12), builds it (Release) and prints
# the speed table: the processor pipeline against its OpenCV peer at 1920x1080,
# at one thread and at all of them, and the depth conversions. Timings are the
# best of several runs; measure on an otherwise idle machine.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev "${BENCH_PACKAGES[@]}"

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMACULO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target bench_table >/dev/null

model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//' || true)
echo "Machine: ${model:-unknown processor}, $(nproc) hardware threads, load average $(cut -d' ' -f1-3 /proc/loadavg)"
build-bench/bench/bench_table
