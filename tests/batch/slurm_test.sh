#!/bin/sh
# Stands up a one-node Slurm cluster on this machine, every piece of it in a scratch
# folder: a munged of its own (key and socket), slurmctld and slurmd on free ports, the
# node's cores and memory declared from `slurmd -C`. Runs the README's Slurm commands
# there as written (the turntables.slurm job array over three generated models, the
# summary queued behind it), the recipe once more from another folder with
# MESHPIX_MAKEFILE, and checks every output as the Makefile test does (outputs.sh).
# Exits with 77 (skipped), saying why, where the packages are missing, it is not run as
# root or a daemon does not start. Every daemon it started is stopped by its process id
# on the way out, however the test ends; every wait is bounded.
# Usage: slurm_test.sh bin_dir source_dir
set -u
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
PATH=$bin:$PATH:/usr/sbin:/sbin
export PATH LC_ALL=C
# Slurm settings of a job or shell this test may run in would steer its commands.
unset $(env | sed -n 's/^\(S\(LURM\|BATCH\|QUEUE\|INFO\|CONTROL\|CANCEL\)_[A-Za-z0-9_]*\)=.*/\1/p')
skip() { echo "SKIP: $*"; exit 77; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for tool in munged slurmctld slurmd sbatch squeue sinfo scontrol scancel make timeout; do
  command -v $tool >/dev/null 2>&1 || skip "$tool not found (packages slurm-wlm and munge)."
done
[ "$(id -u)" = 0 ] || skip "slurmd starts jobs as their owner and needs root."

# munged wants every folder above its socket open to all; a short path keeps the socket
# name within its limit.
work=$(mktemp -d /tmp/meshpix-slurm.XXXXXX) || exit 1
chmod 755 "$work"
mkdir "$work/munge" "$work/state" "$work/spool" "$work/log" "$work/submit" "$work/elsewhere"
# Every daemon and job of this cluster carries the marker in its environment, so that
# whatever outlives the daemons (job steps and their processes) is found by process id.
marker=MESHPIX_TEST_CLUSTER=$work
munged_pid='' slurmctld_pid='' slurmd_pid=''

# alive PID: the process runs (a zombie left for this shell to reap does not).
alive() { [ -r "/proc/$1/stat" ] && [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -c1)" != Z ]; }

# wait_for SECONDS COMMAND...: runs COMMAND until it succeeds, for SECONDS at most; fails
# when the time is up.
wait_for() {
  end=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$end" ] || return 1
    sleep 0.2
  done
}
dead() { ! alive "$1"; }
queue_empty() { [ -z "$(timeout 10 squeue -h 2>&1)" ]; }

# stop PID: SIGTERM, up to 15 seconds, then SIGKILL.
stop() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null
  wait_for 15 dead "$1" || kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

marked() { grep -lzxF "$marker" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3; }

logs() {
  for log in "$work"/log/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log"), last lines:"; tail -n 15 "$log"; }
  done
}

cleanup() {
  status=$?
  trap - EXIT INT TERM HUP
  if [ -n "$slurmctld_pid" ] && alive "$slurmctld_pid"; then
    timeout 20 scancel --user="$(id -un)" 2>/dev/null
    wait_for 15 queue_empty
  fi
  stop "$slurmd_pid"
  stop "$slurmctld_pid"
  stop "$munged_pid"
  for pid in $(marked); do
    echo "killing $pid left by the cluster: $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
    kill -9 "$pid" 2>/dev/null
  done
  [ "$status" = 0 ] || logs
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# port_free PORT: nothing listens on PORT (the fourth column, state 0A, is LISTEN); a
# machine without IPv6 has no tcp6 table.
port_free() {
  cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
    awk -v p="$(printf ':%04X' "$1")" '$4 == "0A" && substr($2, length($2) - 4) == p { f = 1 }
      END { exit f }'
}
port=$((20000 + $$ % 20000))
while ! port_free $port || ! port_free $((port + 1)); do port=$((port + 2)); done

# The node as slurmd sees it (cores and RealMemory), under a name of our own, so that an
# odd host name does not matter; the recipe asks 2G a task.
node=meshpix1
hardware=$(slurmd -C 2>/dev/null | sed -n 's/^NodeName=[^ ]* //p')
memory=$(echo "$hardware" | sed -n 's/.*RealMemory=\([0-9]*\).*/\1/p')
[ -n "$memory" ] || skip "slurmd -C does not tell the node's memory."
[ "$memory" -ge 2048 ] || skip "the node has ${memory}M of memory; the recipe asks 2G."

head -c 1024 /dev/urandom >"$work/munge/munge.key" && chmod 600 "$work/munge/munge.key"
export SLURM_CONF=$work/slurm.conf
cat >"$SLURM_CONF" <<END
ClusterName=meshpixtest
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/socket
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
DependencyParameters=kill_invalid_depend
MpiDefault=none
ReturnToService=2
KillWait=5
MailProg=/bin/true
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
NodeName=$node NodeAddr=127.0.0.1 $hardware State=UNKNOWN
PartitionName=meshpix Nodes=$node Default=YES MaxTime=INFINITE State=UP
END

env "$marker" munged -F --socket="$work/munge/socket" --key-file="$work/munge/munge.key" \
  --log-file="$work/log/munged.log" --pid-file="$work/munge/munged.pid" \
  --seed-file="$work/munge/munged.seed" >"$work/log/munged.out" 2>&1 &
munged_pid=$!
munge_up() { [ -S "$work/munge/socket" ] || dead $munged_pid; }
wait_for 10 munge_up
[ -S "$work/munge/socket" ] || skip "munged does not start: $(tail -n 1 "$work/log/munged.out")"

env "$marker" slurmctld -D -f "$SLURM_CONF" >"$work/log/slurmctld.out" 2>&1 &
slurmctld_pid=$!
env "$marker" slurmd -D -N $node -f "$SLURM_CONF" >"$work/log/slurmd.out" 2>&1 &
slurmd_pid=$!
# The node idle, or a daemon gone.
node_up() {
  dead $slurmctld_pid || dead $slurmd_pid || [ "$(timeout 10 sinfo -h -n $node -o %T 2>&1)" = idle ]
}
wait_for 30 node_up
dead $slurmctld_pid && skip "slurmctld does not start: $(tail -n 1 "$work/log/slurmctld.out")"
dead $slurmd_pid && skip "slurmd does not start: $(tail -n 1 "$work/log/slurmd.out")"
node_up || skip "the node is not idle after 30 seconds: $(timeout 10 sinfo -h -n $node -o '%T %E' 2>&1)"

# The README's commands, as written, from a folder laid out like the source folder.
. "$here/outputs.sh"
cd "$work/submit" || exit 1
mkdir examples && ln -s "$src/examples/batch" examples/batch
make_models models
awk '/examples\/batch\/turntables.slurm/ { found = 1 } on && /^```$/ { exit }
  found && on { print } found && /^```sh$/ { on = 1 }' "$src/README.md" >readme.sh
grep -q sbatch readme.sh || fail "no sbatch command in the README's Slurm section"
echo 'echo "array $job"' >>readme.sh
env "$marker" timeout 60 sh -e readme.sh >submit.log 2>&1 || fail "the README's commands fail: $(cat submit.log)"
array=$(sed -n 's/^array \([0-9]*\).*/\1/p' submit.log)
summary=$(sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p' submit.log)
[ -n "$array" ] && [ -n "$summary" ] || fail "no array and summary job in: $(cat submit.log)"
# The summary waits for the whole array (its tasks take seconds, so it waits still).
depends=$(timeout 10 squeue -h -j "$summary" -o %E 2>&1)
case $depends in
  "afterok:${array}_*"*) ;;
  *) fail "the summary does not wait for the array: '$depends'" ;;
esac

# The recipe from another folder, the Makefile and the recipe named from there.
cd "$work/elsewhere" || exit 1
mkdir models logs && cp ../submit/models/egg.stl models/ && ls models/*.stl >models.txt
env "$marker" MESHPIX_MAKEFILE="$src/examples/batch/Makefile" timeout 20 \
  sbatch --parsable --array=1-1 "$src/examples/batch/turntables.slurm" >submit.log 2>&1 ||
  fail "sbatch with MESHPIX_MAKEFILE fails: $(cat submit.log)"

# Every job ends in two minutes.
wait_for 120 queue_empty || fail "jobs still queued after 2 minutes: $(timeout 10 squeue 2>&1)"
# Each job (the three tasks, the summary, the task from elsewhere): id, array id, state,
# exit code, start and end.
timeout 10 scontrol -o show job 2>&1 | awk '{
    split("", v)
    for (i = 1; i <= NF; i++) { n = index($i, "="); if (n) v[substr($i, 1, n - 1)] = substr($i, n + 1) }
    print v["JobId"], ("ArrayJobId" in v) ? v["ArrayJobId"] : "-", v["JobState"], v["ExitCode"], v["StartTime"], v["EndTime"]
  }' >jobs.txt
if [ "$(grep -c ' COMPLETED 0:0 ' jobs.txt)" != 5 ] || [ "$(grep -c . jobs.txt)" != 5 ]; then
  fail "not 5 jobs completed: $(tr '\n' ',' <jobs.txt)"
  for log in "$work"/*/logs/*.out; do echo "--- $log"; tail -n 5 "$log"; done
  exit 1
fi
awk -v a="$array" -v s="$summary" '$2 == a && $6 > last { last = $6 } $1 == s { start = $5 }
  END { exit !(start != "" && last != "" && start >= last) }' jobs.txt ||
  fail "the summary started before the array ended: $(tr '\n' ',' <jobs.txt)"

cd "$work/submit" || exit 1
check_outputs models out
cat out/egg.stats out/ball.stats out/drop.stats | sort | cmp -s - out/stats.txt ||
  fail "out/stats.txt is not the summary of the three: $(cat out/stats.txt)"
for task in 1 2 3; do
  [ -f "logs/${array}_$task.out" ] || fail "no log logs/${array}_$task.out"
done
cmp -s out/egg.gif ../elsewhere/out/egg.gif || fail "the turntable made with MESHPIX_MAKEFILE differs"
[ -f ../elsewhere/out/stats.txt ] && fail "a task made the summary"

[ "$failed" = 0 ] && echo "slurm: a one-node cluster ran the array of 3 models and the summary behind it"
exit $failed
