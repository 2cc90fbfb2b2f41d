#!/usr/bin/env bash
# Installs what it needs (Debian 12), builds Release, and times a 1920x1080
# clip through ffmpeg's frei0r filter at the effect's default controls
# against frames through the engine alone, in turns, in the same run.
# The clip is the filter's work only: frames of a noisy test picture made
# once, stored as raw RGBA (opaque, as video is) and read back in a loop, so
# that ffmpeg neither generates, converts nor encodes a frame; what remains
# of ffmpeg is reading 8 MB a frame from the page cache. ffmpeg's frame rate
# is its steady one: a long clip less a short one, so that its start-up
# counts in neither; the engine's time is the median of its runs, with its
# scratch kept between frames as the filter keeps it.
# Prints each round and the best round. Usage: scripts/frei0r-bench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev ffmpeg

rounds=${1:-3}
short=10
long=70
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMACULO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target maculo_pattern filter_bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A few distinct frames: the engine has fast paths for channels that hold one
# value, which a constant picture would take.
ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=1920x1080:rate=25,noise=alls=60:allf=t+u" -frames:v 4 \
    -pix_fmt rgba -f rawvideo "$work/clip.rgba"
head -c $((1920 * 1080 * 4)) "$work/clip.rgba" >"$work/frame.rgba"
clip=(-f rawvideo -pixel_format rgba -video_size 1920x1080 -framerate 25 -stream_loop -1 -i "$work/clip.rgba")

model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//' || true)
echo "Machine: ${model:-unknown processor}, $(nproc) hardware threads, load average $(cut -d' ' -f1-3 /proc/loadavg)"

# ffmpeg's own account of the time a clip of $1 frames took, start-up included.
clip_seconds() {
    FREI0R_PATH=build-bench/frei0r-1 ffmpeg -nostdin -benchmark "${clip[@]}" -frames:v "$1" \
        -vf frei0r=maculo_pattern -f null - 2>&1 | sed -n 's/.*rtime=\([0-9.]*\)s.*/\1/p'
}

# Each round times the engine, then the clip; a round's ratio compares figures
# taken seconds apart, which a machine shared with other work needs.
results=""
for ((round = 1; round <= rounds; round++)); do
    times=$(build-bench/bench/filter_bench "$work/frame.rgba" 1920 1080 9)
    filter_ms=$(awk '$1 == "filter_ms" { print $2 }' <<<"$times")
    engine_ms=$(awk '$1 == "engine_ms" { print $2 }' <<<"$times")
    fresh_ms=$(awk '$1 == "engine_fresh_ms" { print $2 }' <<<"$times")
    rtime=$(awk -v a="$(clip_seconds $long)" -v b="$(clip_seconds $short)" 'BEGIN { print a - b }')
    frames=$((long - short))
    line="$round $frames $rtime $filter_ms $engine_ms $fresh_ms"
    awk '{ printf "Round %d: ffmpeg %.2f frames/s; one frame: filter %.2f ms, engine alone %.2f ms (%.2f frames/s; %.2f ms making its scratch each frame); %.0f %%\n",
           $1, $2 / $3, $4, $5, 1000 / $5, $6, 100 * $2 / $3 * $5 / 1000 }' <<<"$line"
    results+="$line"$'\n'
done
awk 'NF { fps = $2 / $3; r[++n] = fps * $5 / 10; if (fps > best) best = fps; if (!engine || $5 < engine) engine = $5 }
     END { for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (r[j] < r[i]) { t = r[i]; r[i] = r[j]; r[j] = t }
           median = n % 2 ? r[(n + 1) / 2] : (r[n / 2] + r[n / 2 + 1]) / 2
           printf "Best: ffmpeg %.2f frames/s, the engine alone %.2f (%.2f ms a frame): %.0f %%; median of the rounds %.0f %%\n",
                  best, 1000 / engine, engine, 100 * best * engine / 1000, median }' <<<"$results"
