#!/bin/sh
#SBATCH --job-name=tileron-segment
#SBATCH --cpus-per-task=2
# One task of the segment array (see submit.sh): renders the fields on line
# SLURM_ARRAY_TASK_ID + 1 of the plan into its segment.
#
#   segment.sbatch HOST STORYBOARD FOLDER KIND [RENDER OPTION...]
#
# KIND is the output's extension (".mkv") or, for PNG frames, "/" or
# "/PATTERN" (a folder of frames for each segment).
set -eu
host=$1 storyboard=$2 folder=$3 kind=$4
shift 4
task=${SLURM_ARRAY_TASK_ID:?run as a task of a job array (sbatch --array)}
fields=$(sed -n "$((task + 1))p" "$folder/plan.txt")
name=$folder/$(printf 'segment-%03d' "$task")
case $kind in
/*)
  mkdir -p "$name"
  out=$name$kind ;;
*) out=$name$kind ;;
esac
exec "$host" render "$storyboard" --fields "$fields" -o "$out" "$@"
