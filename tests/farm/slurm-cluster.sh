# A one-node Slurm cluster on loopback with everything under one folder, for
# tests that submit real jobs. Source it, then:
#   cluster_start FOLDER   starts munged, slurmctld and slurmd as root (so
#                          that jobs run as the submitting user), waits until
#                          the node is idle and exports SLURM_CONF
#   cluster_stop           ends every job, then the daemons, by PID
# The node has two partitions: "farm" (the default) and "urgent", whose jobs
# preempt farm's with a grace period and requeue them.

cluster_pids=()  # munged, slurmctld, slurmd, in the order started
cluster_dir=""

# A TCP port on loopback that nothing listens on.
cluster_free_port() {
    local port
    for _ in $(seq 50); do
        port=$((20000 + RANDOM % 30000))
        if ! (: >"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    return 1
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
cluster_wait() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
cluster_node_idle() { [ "$(sinfo -h -n node1 -o %T | sort -u)" = idle ]; }
# Whether no job is left and no step's socket in the spool: only then may
# slurmd and slurmctld go, or slurmstepd waits forever for its controller.
cluster_quiet() { [ -z "$(squeue -h -o %i)" ] && ! compgen -G "$cluster_dir/spool/node1_*" >/dev/null; }
cluster_gone() { ! kill -0 "$1"; }

cluster_start() {
    local dir=$1 ctld_port slurmd_port
    cluster_dir=$dir
    ctld_port=$(cluster_free_port) && slurmd_port=$(cluster_free_port) || { echo "no free port" >&2; return 1; }
    mkdir -p "$dir/state" "$dir/spool" "$dir/munge" "$dir/munge-key"
    # munged insists: its key private, and the socket's folder searchable by
    # all (jobs and clients talk to it), but writable by its owner alone.
    chmod 700 "$dir/munge-key"
    chmod 755 "$dir" "$dir/munge"
    head -c 1024 /dev/urandom >"$dir/munge-key/key"
    chmod 400 "$dir/munge-key/key"
    # Two tasks a processor: the tests' frames are tiny, and the array's
    # chunks then run side by side even on two cores.
    cat >"$dir/slurm.conf" <<EOF
ClusterName=maculo-test
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
AuthInfo=socket=$dir/munge/socket,cred_expire=5
MailProg=/bin/true
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
ReturnToService=2
SchedulerParameters=sched_interval=1
PreemptType=preempt/partition_prio
PreemptMode=REQUEUE
KillWait=2
NodeName=node1 NodeHostname=$(hostname -s) NodeAddr=127.0.0.1 CPUs=$(($(nproc --all) * 2)) State=UNKNOWN
PartitionName=farm Nodes=node1 Default=YES MaxTime=INFINITE State=UP PriorityTier=1 PreemptMode=REQUEUE GraceTime=10 OverSubscribe=NO
PartitionName=urgent Nodes=node1 MaxTime=INFINITE State=UP PriorityTier=2 PreemptMode=OFF
EOF
    export SLURM_CONF=$dir/slurm.conf

    munged --foreground --force --socket="$dir/munge/socket" --key-file="$dir/munge-key/key" \
        --pid-file="$dir/munged.pid" --log-file="$dir/munged.log" --seed-file="$dir/munge/seed" \
        >"$dir/munged.out" 2>&1 &
    cluster_pids+=($!)
    cluster_wait 50 test -S "$dir/munge/socket" || { echo "munged did not start" >&2; return 1; }
    slurmctld -D -i -f "$SLURM_CONF" >"$dir/slurmctld.out" 2>&1 &
    cluster_pids+=($!)
    slurmd -D -N node1 -f "$SLURM_CONF" >"$dir/slurmd.out" 2>&1 &
    cluster_pids+=($!)
    cluster_wait 150 cluster_node_idle && return 0
    echo "the node did not come up idle; the logs end:" >&2
    tail -n 5 "$dir/slurmctld.log" "$dir/slurmd.log" >&2
    return 1
}

cluster_stop() {
    local i pid
    if [ ${#cluster_pids[@]} -ge 2 ]; then
        scancel --full --quiet --user="$(id -un)" 2>/dev/null || true
        cluster_wait 150 cluster_quiet || echo "slurm-cluster: jobs were still ending at the stop" >&2
    fi
    # slurmd, slurmctld, munged: each gone before the next is stopped.
    for ((i = ${#cluster_pids[@]} - 1; i >= 0; i--)); do
        pid=${cluster_pids[i]}
        kill -TERM "$pid" 2>/dev/null || true
        cluster_wait 50 cluster_gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true  # its status is that of our signal
    done
    cluster_pids=()
}
