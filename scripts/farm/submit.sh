#!/bin/sh
# Renders a storyboard on a Slurm cluster: a job array whose tasks each
# render one segment (render --fields A:B, the ranges `tileron-host
# segments` gives), and a job that waits for all of them and joins the
# segments into the output (tileron-host join). See docs/farm.md.
#
#   scripts/farm/submit.sh [-n SEGMENTS] STORYBOARD OUTPUT [RENDER OPTION...] [-- SBATCH OPTION...]
#
# STORYBOARD, OUTPUT, the clips and VXHOME (the settings and masks) must lie
# on storage every node sees, under the same paths. The segments go to a
# hidden folder beside the output, removed by the join once it succeeds
# (with the logs of the tasks in it: look there when a task fails).
# TILERON_HOST names the tileron-host program on the nodes (default: the
# one found on PATH, else this checkout's build/). Prints the two job IDs.
set -eu
DIR=$(cd "$(dirname "$0")" && pwd)
segments=8
if [ "${1:-}" = -n ]; then
  segments=$2
  shift 2
fi
if [ $# -lt 2 ]; then
  echo "usage: $0 [-n SEGMENTS] STORYBOARD OUTPUT [RENDER OPTION...] [-- SBATCH OPTION...]" >&2
  exit 2
fi
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
storyboard=$(absolute "$1")
output=$(absolute "$2")
shift 2
render_options=""
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  render_options="$render_options $1"
  shift
done
[ "${1:-}" = -- ] && shift
host=${TILERON_HOST:-$(command -v tileron-host || echo "$DIR/../../build/tileron-host")}
host=$(absolute "$host")

# What each segment is: a file of the output's kind, or a folder of PNG
# frames (named by the output's pattern when it has one).
case $output in
*/) kind=/ ;;
*%*.png) kind=/$(basename "$output") ;;
*)
  if [ -d "$output" ]; then kind=/; else kind=.${output##*.}; fi ;;
esac
target=${output%/}
folder=$(dirname "$target")/.$(basename "$target").segments
mkdir -p "$folder/logs"
"$host" segments "$storyboard" -n "$segments" > "$folder/plan.txt"
count=$(wc -l < "$folder/plan.txt")

# shellcheck disable=SC2086
array=$(sbatch --parsable --array=0-$((count - 1)) --job-name=tileron-segment \
  --output="$folder/logs/segment-%a.log" "$@" \
  "$DIR/segment.sbatch" "$host" "$storyboard" "$folder" "$kind" $render_options)
array=${array%%;*}
join=$(sbatch --parsable --dependency=afterok:"$array" --kill-on-invalid-dep=yes --job-name=tileron-join \
  --output="$folder/logs/join.log" "$@" "$DIR/join.sbatch" "$host" "$folder" "$output")
join=${join%%;*}
echo "segments: job $array ($count tasks); join: job $join; logs in $folder/logs"
