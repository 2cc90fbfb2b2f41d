#!/usr/bin/env bash
# Times what a user of maculo-render waits for, end to end, at 1920x1080:
# the start alone, the plug-in's set-up alone, one noise frame, ten-frame
# sequences, the cost of one iteration through our host and the plug-in's
# binary beside the benchmark's figure for the same work, and the peak
# memory of a long sequence against a short one.
#
#   scripts/bench-renderer.sh [BUILD]
#
# BUILD is a build tree holding bin/maculo-render, bench/host_bench and
# bench/bench_table (default build-bench, configured Release and built
# here). Times are the best of three runs; measure on an otherwise idle
# machine. MACULO_BENCH_TABLE=0 leaves out the benchmark's own table
# (several minutes).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
if [[ $# -eq 0 ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMACULO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)" --target maculo-render host_bench bench_table >/dev/null
fi
render=$PWD/$build/bin/maculo-render
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

calc() { awk "BEGIN { printf \"%.${2:-3}f\", $1 }"; }

# Best wall time in seconds of three runs of the command.
best() {
  local best=999 start end
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    best=$(calc "($end - $start < $best) ? $end - $start : $best")
  done
  echo "$best"
}

row() { printf '| %s | %s |\n' "$1" "$2"; }

model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//' || true)
echo "Machine: ${model:-unknown processor}, $(nproc) hardware threads, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
"$render" -q -o in.png
"$render" -q -o in.exr --depth 32

echo "| Run | Wall time (s) |"
echo "|---|---|"
row "--version" "$(best "$render" --version)"
row "an option error" "$(best "$render" --no-such-option)"
row "--about (the plug-in set up, no file)" "$(best "$render" --about)"
row "one noise frame to PNG" "$(best "$render" -q -o one.png)"
row "10 frames PNG to PNG, per frame" \
  "$(calc "$(best "$render" -q -i in.png -o png_##.png --frames 10) / 10")"
row "10 frames float EXR to EXR, per frame" \
  "$(calc "$(best "$render" -q -i in.exr -o exr_##.exr --frames 10) / 10")"

echo
"$OLDPWD/$build/bench/host_bench"

echo
echo "| Peak memory, noise frames to PNG | Frames | MiB |"
echo "|---|---|---|"
for frames in 10 100; do
  kib=$(/usr/bin/time -f %M "$render" -q -o mem_###.png --frames "$frames" 2>&1 >/dev/null | tail -1)
  echo "| 1920x1080 | $frames | $((kib / 1024)) |"
done

[[ ${MACULO_BENCH_TABLE:-1} == 0 ]] && exit 0
echo
echo "The benchmark's figures for the same work (four channels and one plane, Width 6):"
"$OLDPWD/$build/bench/bench_table" | grep -E '^\| (Four channels, Width 6|Opaque, gray before)|^\| Work'
