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
set -u
build=${1:?usage: scripts/fuzz.sh <fuzz build dir> [seconds] [harness ...]}
seconds=${2:-60}
shift; [ $# -gt 0 ] && shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
seeds=$source_dir/tests/fuzz/corpus
build=$(cd "$build" && pwd)
readers=${*:-$(cd "$build/fuzz" && ls fuzz_* 2>/dev/null | sed 's/^fuzz_//')}
[ -n "$readers" ] || { echo "no harnesses in $build/fuzz"; exit 2; }
failed=""
for reader in $readers; do
  program=$build/fuzz/fuzz_$reader
  [ -x "$program" ] || { echo "missing $program"; exit 2; }
  mkdir -p "$build/fuzz/corpus/$reader" "$seeds/$reader"
  options=""
  case $reader in
    xml|mask_file|catalogue) options="-dict=$source_dir/tests/fuzz/mask.dict" ;;
    storyboard|preset) options="-dict=$source_dir/tests/fuzz/json.dict" ;;
    y4m) options="-dict=$source_dir/tests/fuzz/y4m.dict" ;;
  esac
  echo "== $reader: ${seconds}s"
  before=$(ls "$seeds/$reader" | grep -cE '^(crash|leak|timeout|oom)-')
  # The harness's VXHOME, removed after the run.
  TILERON_FUZZ_HOME=$build/fuzz/home-$reader
  export TILERON_FUZZ_HOME
  # -timeout: one input taking 10 s counts as a hang.
  if ! "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 $options \
      -artifact_prefix="$seeds/$reader/" \
      "$build/fuzz/corpus/$reader" "$seeds/$reader" >"$build/fuzz/$reader.log" 2>&1; then
    failed="$failed $reader"
    tail -n 40 "$build/fuzz/$reader.log"
    # The finding, to rebuild from a CI log: base64 -d > file.
    for finding in $(ls -t "$seeds/$reader" | grep -E '^(crash|leak|timeout|oom)-' | head -n 1); do
      echo "finding $seeds/$reader/$finding (base64):"
      head -c 8192 "$seeds/$reader/$finding" | base64
    done
  fi
  rm -rf "$TILERON_FUZZ_HOME"
  grep -E "^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)" \
    "$build/fuzz/$reader.log" | sed 's/^/   /'
  kept=$(ls "$seeds/$reader" | grep -cE '^(crash|leak|timeout|oom)-')
  [ "$kept" -gt "$before" ] && echo "   new finding kept in $seeds/$reader"
done
if [ -n "$failed" ]; then
  echo "fuzzing found problems in:$failed (findings kept in $seeds/<harness>/)"
  exit 1
fi
echo "fuzzing: no findings"
