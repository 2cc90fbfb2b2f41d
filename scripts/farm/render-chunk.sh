#!/bin/sh
# A Slurm array job, one chunk of the sequence a task: FRAMES in chunks of CHUNK.
#   sbatch --array=0-9 render-chunk.sh 240 24 -i plate_####.exr -o pattern_####.exr
#SBATCH --requeue
#SBATCH --open-mode=append
frames=$1 chunk=$2
shift 2
first=$((SLURM_ARRAY_TASK_ID * chunk + 1))
last=$((first + chunk - 1 < frames ? first + chunk - 1 : frames))
# srun hands the scheduler's SIGTERM to the renderer (and, told, the job's processors).
srun --cpus-per-task="${SLURM_CPUS_PER_TASK:-1}" maculo-render "$@" --frames "$frames" \
    --range "$first:$last" --skip-existing --quiet
status=$?
# Stopped while the job still runs (preempted): back into the queue.
if [ $status -eq 143 ] && [ "$(squeue -h -j "$SLURM_JOB_ID" -o %T)" = RUNNING ]; then
    scontrol requeue "$SLURM_JOB_ID"
fi
exit $status
