#!/bin/sh
# make farm-test: a one-node Slurm cluster on this machine (munged,
# slurmctld and slurmd in the foreground, with a temporary configuration
# on ports 16817 and 16818), a storyboard rendered through submit.sh in
# three segments and joined, and the result compared with one render of it.
# Skips, saying why, where the daemons are missing or cannot start.
#
#   scripts/farm/test.sh [BUILD]
set -eu
BUILD=$(cd "${1:-build}" && pwd)
DIR=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$DIR/../.." && pwd)

skip() {
  echo "farm-test: skipped: $*"
  exit 0
}
for program in munged slurmctld slurmd sbatch scontrol sinfo; do
  command -v "$program" > /dev/null 2>&1 ||
    PATH=$PATH:/usr/sbin command -v "$program" > /dev/null 2>&1 ||
    skip "$program is missing (make farm-deps installs Slurm and munge)"
done
PATH=$PATH:/usr/sbin

WORK=$(mktemp -d /tmp/tileron-farm.XXXXXX)
pids=""
cleanup() {
  for pid in $pids; do
    kill "$pid" 2> /dev/null || true
  done
  for pid in $pids; do
    wait "$pid" 2> /dev/null || true
  done
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

# Shows the daemons' logs and skips: the cluster could not be had here.
cannot_start() {
  for log in "$WORK"/*.log; do
    [ -s "$log" ] && { echo "--- $log"; tail -n 5 "$log"; }
  done
  skip "$*"
}

mkdir -p "$WORK/state" "$WORK/spool"
dd if=/dev/urandom of="$WORK/munge.key" bs=1024 count=1 2> /dev/null
chmod 400 "$WORK/munge.key"
munged --foreground --force --key-file="$WORK/munge.key" --socket="$WORK/munge.socket" \
  --pid-file="$WORK/munged.pid" --log-file="$WORK/munged.log" --seed-file="$WORK/munged.seed" \
  > "$WORK/munged.out" 2>&1 &
pids="$pids $!"

cpus=$(nproc)
user=$(id -un)
cat > "$WORK/slurm.conf" << CONF
ClusterName=tileron-test
SlurmctldHost=localhost(127.0.0.1)
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$WORK/munge.socket
SlurmctldPort=16817
SlurmdPort=16818
StateSaveLocation=$WORK/state
SlurmdSpoolDir=$WORK/spool
SlurmctldPidFile=$WORK/slurmctld.pid
SlurmdPidFile=$WORK/slurmd.pid
SlurmctldLogFile=$WORK/slurmctld.log
SlurmdLogFile=$WORK/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MpiDefault=none
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=farm Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$WORK/slurm.conf"

tries=0
until [ -S "$WORK/munge.socket" ]; do
  tries=$((tries + 1))
  [ "$tries" -le 50 ] || cannot_start "munged did not start"
  sleep 0.1
done
slurmctld -D -i -f "$SLURM_CONF" > "$WORK/slurmctld.out" 2>&1 &
pids="$pids $!"
slurmd -D -N localhost -f "$SLURM_CONF" > "$WORK/slurmd.out" 2>&1 &
pids="$pids $!"
tries=0
until [ "$(sinfo -h -o %t 2> /dev/null)" = idle ]; do
  tries=$((tries + 1))
  [ "$tries" -le 60 ] || cannot_start "the node did not come up ($(sinfo -h -o %t 2>&1 | head -n 1))"
  sleep 0.5
done

# A home of its own with the bundled masks and two-part settings, and a
# storyboard of 60 frames of patterns (segments of 24, 24 and 12 frames).
export VXHOME="$WORK/home" VXHOST_LOG="$WORK/home/vxhost.log"
"$BUILD/tileron-host" masks install "$ROOT/data/masks" > /dev/null
mkdir -p "$VXHOME/programs/tileron/prefs"
echo '{"mask": "diagonal_down_2", "bar": {"width": 4}, "parts": [{"scene": 1}, {"scene": 2}]}' > "$WORK/preset.json"
"$BUILD/tileron-preset" make "$WORK/preset.json" -o "$VXHOME/programs/tileron/prefs/tileron.prf" > /dev/null
cat > "$WORK/story.json" << 'STORY'
{"format": {"width": 320, "height": 240, "rate": "25/1"}, "input": "colour:#203040", "length": 60,
 "scenes": [{"id": 1, "source": "pattern:gradient"}, {"id": 2, "source": "pattern:bars"}]}
STORY
"$BUILD/tileron-host" render "$WORK/story.json" -o "$WORK/one.y4m"
[ "$("$BUILD/tileron-host" segments "$WORK/story.json" -n 3 | wc -l)" = 3 ] || { echo "farm-test: FAILED: not three segments"; exit 1; }

submitted=$(TILERON_HOST="$BUILD/tileron-host" "$DIR/submit.sh" -n 3 "$WORK/story.json" "$WORK/farm.y4m" -- \
  --cpus-per-task=1)
echo "farm-test: $submitted"
join=$(echo "$submitted" | sed 's/.*join: job \([0-9]*\).*/\1/')
tries=0
while :; do
  state=$(scontrol show job "$join" 2> /dev/null | sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p')
  case $state in
  COMPLETED) break ;;
  FAILED | CANCELLED | TIMEOUT | NODE_FAIL | OUT_OF_MEMORY)
    cat "$WORK"/.farm.y4m.segments/logs/* 2> /dev/null || true
    echo "farm-test: FAILED: the join job ended $state"
    exit 1 ;;
  esac
  tries=$((tries + 1))
  [ "$tries" -le 600 ] || { echo "farm-test: FAILED: the jobs did not end in 5 minutes (join: $state)"; exit 1; }
  sleep 0.5
done
if cmp -s "$WORK/one.y4m" "$WORK/farm.y4m"; then
  echo "farm-test: passed: three array tasks and the join made the bytes of one render"
else
  echo "farm-test: FAILED: the joined output differs from one render"
  exit 1
fi
