#!/bin/sh
# Whole-render speed: the render command on fixed storyboards (two H.264
# clips on diagonal_down_2) to no output, at 720 x 576 and 1920 x 1080,
# in fields per second with the clips' decoding and conversion included and
# excluded (the render's --stats line measures both in one run).
#
#   bench/render_bench.sh [BUILD] [FRAMES]      (default: build, 100 frames)
set -eu
BUILD=$(cd "${1:-build}" && pwd)
FRAMES=${2:-100}
WORK="$BUILD/bench-work"
. "$(dirname "$0")/bench_lib.sh"
bench_setup
bench_settings diagonal_down_2 2

printf '%-10s %-12s %8s %18s %18s\n' format clips fields "fields/s (decode)" "fields/s (no decode)"
for size in 720x576:720x576 1920x1080:1280x720; do
  format=${size%%:*} clip=${size#*:}
  bench_clip "a-$clip" "$clip" "$FRAMES" testsrc2
  bench_clip "b-$clip" "$clip" "$FRAMES" mandelbrot
  bench_storyboard "render-$format.json" "${format%x*}" "${format#*x}" "$FRAMES" "a-$clip" "b-$clip"
  stats=$(bench_render "render-$format.json")
  # "fields N  seconds S  fields/s A  clip seconds C  fields/s without clips B"
  echo "$stats" | awk -v f="$format" -v c="$clip" '{ printf "%-10s %-12s %8s %18s %18s\n", f, c, $2, $6, $13 }'
done
