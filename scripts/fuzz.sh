#!/bin/sh
# Runs every reader harness of a fuzz build for a fixed time.
#   scripts/fuzz.sh <fuzz build dir> [seconds per harness] [harness ...]
# Each harness replays its committed corpus, tests/fuzz/corpus/<reader>/
# (seeds and every finding ever made), then fuzzes for the given seconds;
# new interesting inputs go to <build>/fuzz/corpus/<reader>/ (not committed).
# A crash, leak, hang or broken invariant is written into the committed
# corpus folder (crash-*, leak-*, timeout-*, oom-*), printed in base64 and
# makes the script fail; commit the file with the fix, so that every later
# run replays it. Harnesses default to every fuzz_* program of the build.
# FUZZ_JOBS harnesses (default: one per core) run at the same time, each on
# one core, so the executions per second stay those of a lone harness.
set -u
build=${1:?usage: scripts/fuzz.sh <fuzz build dir> [seconds] [harness ...]}
seconds=${2:-60}
shift; [ $# -gt 0 ] && shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
seeds=$source_dir/tests/fuzz/corpus
build=$(cd "$build" && pwd)
jobs=${FUZZ_JOBS:-$(nproc)}
readers=${*:-$(cd "$build/fuzz" && ls fuzz_* 2>/dev/null | sed 's/^fuzz_//')}
[ -n "$readers" ] || { echo "no harnesses in $build/fuzz"; exit 2; }

findings() { ls "$seeds/$1" | grep -cE '^(crash|leak|timeout|oom)-'; }

# Runs one harness; its report goes to <build>/fuzz/<reader>.report, and the
# file <reader>.failed marks a failure.
run() {
  reader=$1
  program=$build/fuzz/fuzz_$reader
  report=$build/fuzz/$reader.report
  rm -f "$build/fuzz/$reader.failed"
  mkdir -p "$build/fuzz/corpus/$reader" "$seeds/$reader"
  options=""
  case $reader in
    xml|mask_file|catalogue) options="-dict=$source_dir/tests/fuzz/mask.dict" ;;
    storyboard|preset) options="-dict=$source_dir/tests/fuzz/json.dict" ;;
    y4m) options="-dict=$source_dir/tests/fuzz/y4m.dict" ;;
    gui_script) options="-dict=$source_dir/tests/fuzz/gui.dict" ;;
  esac
  echo "== $reader: ${seconds}s" >"$report"
  before=$(findings "$reader")
  # The harness's VXHOME, removed after the run.
  TILERON_FUZZ_HOME=$build/fuzz/home-$reader
  export TILERON_FUZZ_HOME
  # -timeout: one input taking 10 s counts as a hang.
  if ! "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 $options \
      -artifact_prefix="$seeds/$reader/" \
      "$build/fuzz/corpus/$reader" "$seeds/$reader" >"$build/fuzz/$reader.log" 2>&1; then
    touch "$build/fuzz/$reader.failed"
    tail -n 40 "$build/fuzz/$reader.log" >>"$report"
    # The finding, to rebuild from a CI log: base64 -d > file.
    for finding in $(ls -t "$seeds/$reader" | grep -E '^(crash|leak|timeout|oom)-' | head -n 1); do
      echo "finding $seeds/$reader/$finding (base64):" >>"$report"
      head -c 8192 "$seeds/$reader/$finding" | base64 >>"$report"
    done
  fi
  rm -rf "$TILERON_FUZZ_HOME"
  grep -E "^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)" \
    "$build/fuzz/$reader.log" | sed 's/^/   /' >>"$report"
  [ "$(findings "$reader")" -gt "$before" ] && echo "   new finding kept in $seeds/$reader" >>"$report"
  return 0
}

for reader in $readers; do
  [ -x "$build/fuzz/fuzz_$reader" ] || { echo "missing $build/fuzz/fuzz_$reader"; exit 2; }
done
# Batches of $jobs harnesses; each batch's reports are printed when it ends.
set -- $readers
while [ $# -gt 0 ]; do
  batch=""
  while [ $# -gt 0 ] && [ "$(echo $batch | wc -w)" -lt "$jobs" ]; do
    batch="$batch $1"
    shift
  done
  for reader in $batch; do run "$reader" & done
  wait
  for reader in $batch; do cat "$build/fuzz/$reader.report"; done
done
failed=""
for reader in $readers; do
  [ -e "$build/fuzz/$reader.failed" ] && failed="$failed $reader"
done
if [ -n "$failed" ]; then
  echo "fuzzing found problems in:$failed (findings kept in $seeds/<harness>/)"
  exit 1
fi
echo "fuzzing: no findings"
