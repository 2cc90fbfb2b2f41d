#!/usr/bin/env bash
# The README's farm examples, run as a farm runs them: the Slurm job script
# on a real one-node cluster (an array job; a task that fails; a task
# preempted with a grace period, which requeues itself), and the GNU parallel
# script on this machine. Every frame must equal the one a whole run writes,
# and the requeued task must leave the frames already written alone.
# Usage: farm-test.sh FOLDER_OF_MACULO_RENDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
farm=$here/../../scripts/farm

# The README shows the very scripts, line for line.
readme=$(<"$here/../../README.md")
for script in "$farm"/*.sh; do
    [[ $readme == *"$(sed 's/^/    /' "$script")"* ]] ||
        { echo "FAILED: the README does not show ${script##*/} as it is" >&2; exit 1; }
done

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: the Slurm farm test starts munged, slurmctld and slurmd, which takes root"
    exit 77
fi
export PATH=$(cd "$1" && pwd):$PATH

source "$here/slurm-cluster.sh"
work=$(mktemp -d /tmp/maculo-farm.XXXXXX)
chmod 755 "$work"
trap 'status=$?; cluster_stop; rm -rf "$work"; exit $status' EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
field() { scontrol -o show job "$1" | grep -o "\b$2=[^ ]*" | cut -d= -f2; }
ended() { [ -z "$(squeue -h -j "$1")" ]; }
requeued() { [ "$(field "$1" Restarts)" = 1 ] && [ "$(field "$1" JobState)" = PENDING ]; }
frames_in() { ls "$1" | grep -c '\.png$' || true; }
# "name inode mtime" of every frame in folder $1.
stamps() { (cd "$1" && stat -c '%n %i %.9Y' -- *.png); }
# The frames in folder $1 are whole, as one whole run in $2 wrote them, and
# nothing else of theirs is there; with "all", every frame of $2 is.
whole_frames() {
    local name
    for name in "$1"/*.png; do
        cmp -s "$name" "$2/${name##*/}" || fail "$name differs from one whole run"
    done
    ! compgen -G "$1/.*.tmp" >/dev/null || fail "$1 keeps a temporary file: $(ls -A "$1")"
    [ "${3:-}" != all ] || [ "$(frames_in "$1")" = "$(frames_in "$2")" ] || fail "$1 lacks frames: $(ls "$1")"
}
# The closing line of a chunk in log $1 counts $2 frames rendered and $3 kept.
says() {
    local counts="rendered $2 frame$([ "$2" = 1 ] || echo s), kept $3, failed 0"
    grep -q ": $(hostname): $counts in " "$1" || fail "$1 does not say '$counts': $(cat "$1")"
}

# Holds the renderer working in folder $1 (SIGSTOP), however fast this
# machine renders: the scheduler's own SIGCONT and SIGTERM find it there.
hold() {
    local pid held=0
    for pid in $(pgrep -x maculo-render); do
        if [ "$(readlink "/proc/$pid/cwd")" = "$1" ]; then kill -STOP "$pid" && held=1; fi
    done
    [ $held = 1 ] || fail "no renderer in $1 to hold"
}

# Tiny frames for the array and parallel runs; slower ones to stop mid-chunk.
tiny=(--size 64x48 --amount 2:6)
slow=(--size 320x240 --amount 200 --threads 1)
mkdir -p "$work"/{whole,whole-slow,array,preempt,parallel,failing}
maculo-render "${tiny[@]}" --frames 48 -o "$work/whole/f_####.png" --quiet &
whole=$!
maculo-render "${slow[@]}" --frames 12 -o "$work/whole-slow/f_####.png" --quiet &
whole_slow=$!
started=$SECONDS
cluster_start "$work/cluster"
wait $whole $whole_slow

# Six chunks of eight frames, side by side; and one whose output folder is
# missing, which fails at once and is not requeued.
job=$(cd "$work/array" && sbatch --parsable --array=0-5 "$farm/render-chunk.sh" 48 8 "${tiny[@]}" -o f_####.png)
failing=$(cd "$work/failing" && sbatch --parsable --array=0 "$farm/render-chunk.sh" 8 8 -o missing/f_####.png)
cluster_wait 400 ended "$job" || fail "the array job did not end"
whole_frames "$work/array" "$work/whole" all
says "$work/array/slurm-${job}_5.out" 8 0
cluster_wait 100 ended "$failing" || fail "the failing chunk did not end"
[ "$(field "${failing}_0" JobState) $(field "${failing}_0" ExitCode) $(field "${failing}_0" Restarts)" = "FAILED 1:0 0" ] ||
    fail "a chunk that cannot write: $(scontrol -o show job "${failing}_0")"
echo "array job: 48 frames as one whole run; a chunk that cannot write failed, not requeued ($((SECONDS - started)) s)"

# Preempted with a grace period mid-chunk, a chunk leaves whole frames,
# requeues itself and renders only what is missing (GNU parallel's turn
# meanwhile).
job=$(cd "$work/preempt" &&
      sbatch --parsable --array=0 --cpus-per-task="$(sinfo -h -o %c)" "$farm/render-chunk.sh" 12 12 "${slow[@]}" -o f_####.png)
cluster_wait 300 test -e "$work/preempt/f_0002.png" || fail "the chunk to preempt did not start"
hold "$work/preempt"
urgent=$(sbatch --parsable -p urgent -o /dev/null --wrap true)
cluster_wait 200 requeued "${job}_0" || fail "the preempted chunk was not requeued: $(scontrol -o show job "${job}_0")"
kept=$(frames_in "$work/preempt")
before=$(stamps "$work/preempt")
whole_frames "$work/preempt" "$work/whole-slow"
(cd "$work/parallel" && "$farm/render-parallel.sh" 48 10 "${tiny[@]}" -o f_####.png >"$work/parallel.log" 2>&1) ||
    fail "the GNU parallel example: $(cat "$work/parallel.log")"
whole_frames "$work/parallel" "$work/whole" all
echo "GNU parallel: 48 frames as one whole run ($((SECONDS - started)) s)"
cluster_wait 300 ended "$job" || fail "the preempted chunk did not end"
[ "$(field "${job}_0" JobState) $(field "$urgent" JobState)" = "COMPLETED COMPLETED" ] ||
    fail "preempted, the chunk ended $(field "${job}_0" JobState), the urgent job $(field "$urgent" JobState)"
whole_frames "$work/preempt" "$work/whole-slow" all
says "$work/preempt/slurm-${job}_0.out" $((12 - kept)) "$kept"
[ "$(stamps "$work/preempt" | head -n "$kept")" = "$before" ] || fail "the preempted chunk wrote kept frames again"
echo "preempted chunk: requeued, whole, kept frames untouched ($((SECONDS - started)) s)"
