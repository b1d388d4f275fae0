#!/usr/bin/env bash
# Runs the documented Slurm commands of a sweep, exactly as written, on a
# one-node Slurm that it starts for the purpose and stops again: the job
# array (sbatch --array=1-"$(scripts/sweep.sh --count cases.csv)" ...) and
# the gathering, then checks that every case ran and results.csv has a row
# per case. It takes some seconds.
#
#     bash scripts/test-slurm.sh [PROGRAM]      # PROGRAM: build/veltaro by default
#
# The commands are read from the code block that calls scripts/sweep.sbatch
# in README.md (or docs/development.md), and run in a scratch folder that
# stands for the project's root (its scripts/ is this one). munged,
# slurmctld and slurmd run as private daemons: a generated munge key, a
# one-node slurm.conf on the loopback address (no name lookup needed), their
# own ports, sockets and state in the scratch folder, so that a Slurm
# already on the machine is left alone. Slurm
# (Debian's slurm-wlm and munge) is installed when missing; where it cannot
# be, the script says "skipped: ..." and exits 0.
#
# Exit status: 0 when the commands worked (or the test was skipped), 1 when
# they did not, 2 for a bad argument.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${1:-$root/build/veltaro}
(($# <= 1)) || { echo "usage: bash scripts/test-slurm.sh [PROGRAM]" >&2 && exit 2; }
[[ -x $program ]] || { echo "test-slurm.sh: no program at $program (build it first)" >&2 && exit 2; }
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")

skip() {
    echo "skipped: $*"
    exit 0
}
fail() {
    echo "test-slurm.sh: FAILED: $*" >&2
    exit 1
}

# slurmd starts each task as the user who submitted it, which takes root.
[[ $(id -u) == 0 ]] || skip "the Slurm daemons need root, and this runs as $(id -un)"
bash "$root/scripts/setup-scripts.sh" slurm ||
    skip "Slurm (Debian's slurm-wlm and munge) is not installed and cannot be installed here"

work=$(mktemp -d /tmp/veltaro-slurm.XXXXXX)
chmod 700 "$work"
stop() {
    # Only the daemons started here, by the process ids they wrote.
    squeue -h -o %i 2>/dev/null | xargs -r scancel 2>/dev/null || true
    local pidfile pid
    for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munged.pid"; do
        pid=$(cat "$pidfile" 2>/dev/null) || continue
        kill "$pid" 2>/dev/null || true
    done
    sleep 1
    rm -rf "$work"
}
trap stop EXIT

show_logs() {
    local log
    for log in "$work"/*.log; do
        [[ -f $log ]] && { echo "--- $log" && tail -n 15 "$log"; } >&2
    done
}

# The commands as the documentation gives them: the code block that calls
# sweep.sbatch, one command a line.
block=""
for doc in "$root/README.md" "$root/docs/development.md"; do
    [[ -f $doc ]] || continue
    block=$(awk '/^```/ { if (inside) { if (text ~ /sweep\.sbatch/) { printf "%s", text; exit } inside = 0; text = "" }
                          else inside = 1; next }
                 inside { text = text $0 "\n" }' "$doc")
    [[ -n $block ]] && break
done
[[ -n $block ]] || fail "no code block calling scripts/sweep.sbatch in README.md or docs/development.md"
submit=$(grep -m 1 '^sbatch ' <<<"$block") || fail "the block has no sbatch line: $block"
gather=$(grep -m 1 'sweep.sh --gather' <<<"$block") || fail "the block has no gathering line: $block"

# munge, with a key of its own.
mkdir -m 700 "$work/munge"
dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge.key"
socket=$work/munge/munge.socket
munged --force --key-file="$work/munge.key" --socket="$socket" --pid-file="$work/munged.pid" \
    --log-file="$work/munged.log" --seed-file="$work/munged.seed" ||
    { show_logs && fail "munged did not start"; }

# One node: this machine, with its cores and most of its memory.
host=$(hostname -s)
memory=$(awk '/^MemTotal:/ { printf "%d", $2 / 1024 * 0.9 }' /proc/meminfo)
port=$((17000 + RANDOM % 2000))
cat >"$work/slurm.conf" <<EOF
ClusterName=veltaro-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=$memory State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
mkdir -p "$work/state" "$work/spool"
export SLURM_CONF=$work/slurm.conf
slurmctld -c || { show_logs && fail "slurmctld did not start"; }
slurmd || { show_logs && fail "slurmd did not start"; }
for ((i = 0; i < 60; i++)); do
    [[ $(sinfo -h -o %T 2>/dev/null) == idle ]] && break
    sleep 0.5
done
[[ $(sinfo -h -o %T 2>/dev/null) == idle ]] || { show_logs && fail "the node did not come up: $(sinfo 2>&1)"; }

# The project's root as the commands expect it: scripts/, a picture and
# cases.csv. Each task runs the program named by VELTARO, which sbatch
# passes on.
project=$work/project
mkdir "$project"
ln -s "$root/scripts" "$project/scripts"
cp "$root/examples/cylinder.jpg" "$project/"
cat >"$project/cases.csv" <<'EOF'
name,picture,reynolds_number,kinematic_viscosity,density,tunnel_height,tunnel_length,mesh_choice,max_iterations
re10,cylinder.jpg,10,0.01,1,1,4,0,5
re20,cylinder.jpg,20,0.01,1,1,4,0,5
EOF
export VELTARO=$program
cd "$project"
echo "$ $submit"
submitted=$(bash -c "$submit") || { show_logs && fail "the submission failed: $submitted"; }
echo "$submitted"
job=$(grep -o -m 1 '[0-9]\+$' <<<"$submitted") || fail "no job id in: $submitted"
for ((i = 0; i < 240; i++)); do
    [[ -z $(squeue -h -j "$job" 2>/dev/null) ]] && break
    sleep 0.5
done
[[ -z $(squeue -h -j "$job" 2>/dev/null) ]] || { show_logs && fail "the job array did not end within 2 minutes"; }
echo "$ $gather"
bash -c "$gather" || { cat slurm-*.out >&2 2>/dev/null; fail "the gathering failed"; }

[[ $(cut -d, -f1,2 sweep-out/results.csv | tail -n +2 | tr '\n' ' ') == "re10,ok re20,ok " ]] ||
    fail "results.csv is not one ok row per case: $(cat sweep-out/results.csv)"
for task in 1 2; do
    [[ -f slurm-${job}_$task.out ]] || fail "no log slurm-${job}_$task.out of array task $task"
done
echo "test-slurm.sh: the documented Slurm commands ran both cases on a one-node Slurm and gathered them."
