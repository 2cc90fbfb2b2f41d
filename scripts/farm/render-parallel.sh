#!/bin/sh
# GNU parallel renders FRAMES in chunks of CHUNK here, or on the machines that
# $PARALLEL names (-S alpha,beta --workdir /shared/shot), which share the folder.
#   render-parallel.sh 240 24 -i plate_####.exr -o pattern_####.exr
frames=$1 chunk=$2
shift 2
for first in $(seq 1 "$chunk" "$frames"); do
    echo "$first:$((first + chunk - 1 < frames ? first + chunk - 1 : frames))"
done | parallel -q maculo-render "$@" --frames "$frames" --range {} --skip-existing --quiet
