#!/bin/sh
# A sequence rendered in chunks by GNU parallel, on this machine or, with ssh
# logins in $PARALLEL, on machines that share the folder. 240 frames in
# chunks of 24 on three machines:
#   PARALLEL='-S alpha,beta,gamma --workdir /shared/shot' \
#       render-parallel.sh 240 24 -i plate_####.exr -o pattern_####.exr --amount 8:64
frames=$1
chunk=$2
shift 2
for first in $(seq 1 "$chunk" "$frames"); do
    echo "$first:$((first + chunk - 1 < frames ? first + chunk - 1 : frames))"
done | parallel -q maculo-render "$@" --frames "$frames" --range {} --skip-existing --quiet
