#!/bin/sh
# Runs every reader harness of a fuzz build for a fixed time.
#   scripts/fuzz.sh <fuzz build dir> [seconds per harness] [harness ...]
# New inputs go to <build>/fuzz/corpus/<reader> (the committed seeds under
# tests/fuzz/corpus are only read); a crash, leak, hang or broken invariant
# leaves its input in <build>/fuzz/artifacts and makes the script fail.
set -u
build=${1:?usage: scripts/fuzz.sh <fuzz build dir> [seconds] [harness ...]}
seconds=${2:-60}
shift; [ $# -gt 0 ] && shift
readers=${*:-"xml mask_file settings catalogue png storyboard preset"}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
seeds=$source_dir/tests/fuzz/corpus
mkdir -p "$build/fuzz/artifacts"
build=$(cd "$build" && pwd)
failed=""
for reader in $readers; do
  program=$build/fuzz/fuzz_$reader
  [ -x "$program" ] || { echo "missing $program"; exit 2; }
  mkdir -p "$build/fuzz/corpus/$reader"
  options=""
  case $reader in
    xml|mask_file|catalogue) options="-dict=$source_dir/tests/fuzz/mask.dict" ;;
    storyboard|preset) options="-dict=$source_dir/tests/fuzz/json.dict" ;;
  esac
  echo "== $reader: ${seconds}s"
  # The harness's VXHOME, removed after the run.
  TILERON_FUZZ_HOME=$build/fuzz/home-$reader
  export TILERON_FUZZ_HOME
  # -timeout: one input taking 10 s counts as a hang.
  if ! "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 $options \
      -artifact_prefix="$build/fuzz/artifacts/$reader-" \
      "$build/fuzz/corpus/$reader" "$seeds/$reader" >"$build/fuzz/$reader.log" 2>&1; then
    failed="$failed $reader"
    tail -n 40 "$build/fuzz/$reader.log"
  fi
  rm -rf "$TILERON_FUZZ_HOME"
  grep -E "^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)" \
    "$build/fuzz/$reader.log" | sed 's/^/   /'
done
if [ -n "$failed" ]; then
  echo "fuzzing found problems in:$failed (inputs in $build/fuzz/artifacts)"
  exit 1
fi
echo "fuzzing: no findings"
