#!/bin/sh
# A Slurm array job with one chunk of a sequence per task. 240 frames in ten
# chunks of 24, from the folder that holds the plates:
#   sbatch --array=0-9 render-chunk.sh 240 24 -i plate_####.exr -o pattern_####.exr --amount 8:64
#SBATCH --requeue
#SBATCH --open-mode=append
frames=$1
chunk=$2
shift 2
first=$((SLURM_ARRAY_TASK_ID * chunk + 1))
last=$((first + chunk - 1 < frames ? first + chunk - 1 : frames))
# Through srun the renderer itself gets the scheduler's SIGTERM (Slurm 22.05's
# srun needs to be told the job's processors); a chunk run again renders only
# the frames that are missing.
srun --cpus-per-task="${SLURM_CPUS_PER_TASK:-1}" maculo-render "$@" --frames "$frames" --range "$first:$last" --skip-existing --quiet
status=$?
# Stopped while the job still runs, as a preemption stops it: back into the
# queue. A cancelled job is no longer running, and stays cancelled.
if [ "$status" -eq 143 ] && [ "$(squeue -h -j "$SLURM_JOB_ID" -o %T)" = RUNNING ]; then
    scontrol requeue "$SLURM_JOB_ID"
fi
exit "$status"
