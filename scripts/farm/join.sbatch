#!/bin/sh
#SBATCH --job-name=tileron-join
# The job after the segment array (see submit.sh): joins the segments, in
# order, into the output and removes their folder.
#
#   join.sbatch HOST FOLDER OUTPUT
set -eu
host=$1 folder=$2 output=$3
set --
for segment in "$folder"/segment-*; do
  set -- "$@" "$segment"
done
"$host" join "$@" -o "$output"
# The logs stay for the join's own (Slurm writes it there until the end).
find "$folder" -mindepth 1 -maxdepth 1 ! -name logs -exec rm -rf {} +
