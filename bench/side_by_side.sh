#!/bin/sh
# The render command against an FFmpeg filter graph doing the same job on the
# same clips, both on one thread and to no output: H.264 clips of 1280 x 720
# scaled to a 1920 x 1080 format, merged through the mask's part shapes over
# the background, the bar layer laid over the result. Prints fields per
# second of each and the ratio (above 1: the render command is faster).
#
#   bench/side_by_side.sh [BUILD] [FRAMES]      (default: build, 100 frames)
set -eu
BUILD=$(cd "${1:-build}" && pwd)
FRAMES=${2:-100}
WORK="$BUILD/bench-work"
W=1920 H=1080
. "$(dirname "$0")/bench_lib.sh"
bench_setup
for clip in testsrc2 mandelbrot life cellauto; do
  bench_clip "$clip-1280x720" 1280x720 "$FRAMES" "$clip"
done

now() { date +%s.%N; }

# The graph's inputs made once, outside the timing: each part shape at the
# format's size as a mask (255 inside, as maskedmerge takes it) and a bar
# layer (white where the first shape has its edge).
graph_inputs() {
  _i=0
  while [ "$_i" -lt "$2" ]; do
    ffmpeg -v error -y -i "$ROOT/data/masks/${1}_$_i.png" -vf "scale=$W:$H,format=gray,negate" \
      "$WORK/ff-mask$_i.png"
    _i=$((_i + 1))
  done
  ffmpeg -v error -y -i "$WORK/ff-mask0.png" -f lavfi -i "color=white:size=${W}x$H" \
    -filter_complex "[0]edgedetect=low=0.01:high=0.05,format=gray[a];[1][a]alphamerge,format=rgba" \
    -frames:v 1 "$WORK/ff-bar.png"
}

ffmpeg_graph() {
  _parts=$1 _inputs="" _i=0
  for _clip in testsrc2 mandelbrot life cellauto; do
    [ "$_i" -lt "$_parts" ] || break
    _inputs="$_inputs -threads 1 -i $WORK/clips/$_clip-1280x720.mp4"
    _i=$((_i + 1))
  done
  _i=0
  while [ "$_i" -lt "$_parts" ]; do
    _inputs="$_inputs -i $WORK/ff-mask$_i.png"
    _i=$((_i + 1))
  done
  _inputs="$_inputs -i $WORK/ff-bar.png -f lavfi -i color=c=0x202020:size=${W}x$H:rate=25"
  _bar=$((2 * _parts)) _background=$((2 * _parts + 1))
  _chain="[$_background:v]format=yuv444p[m0];"
  _i=0
  while [ "$_i" -lt "$_parts" ]; do
    _mask=$((_parts + _i))
    _chain="$_chain[$_i:v]scale=$W:$H:flags=bicubic,format=yuv444p[c$_i];"
    _chain="$_chain[$_mask:v]format=gray,split=3[p$_i][q$_i][r$_i];[p$_i][q$_i][r$_i]mergeplanes=0x001020:yuv444p,loop=-1:1:0[s$_i];"
    _chain="$_chain[m$_i][c$_i][s$_i]maskedmerge[m$((_i + 1))];"
    _i=$((_i + 1))
  done
  _chain="$_chain[$_bar:v]format=yuva444p,loop=-1:1:0[bar];[m$_parts][bar]overlay=format=yuv444"
  # shellcheck disable=SC2086
  ffmpeg -v error -nostdin -filter_threads 1 -filter_complex_threads 1 $_inputs \
    -filter_complex "$_chain" -frames:v "$FRAMES" -f null -
}

printf '%-6s %-18s %14s %14s %8s\n' parts mask "render fields/s" "ffmpeg fields/s" ratio
for case in diagonal_down_2:2 grid_4:4; do
  mask=${case%:*} parts=${case#*:}
  bench_settings "$mask" "$parts"
  set -- testsrc2 mandelbrot life cellauto
  clips=""
  i=0
  for clip in "$@"; do
    [ "$i" -lt "$parts" ] || break
    clips="$clips $clip-1280x720"
    i=$((i + 1))
  done
  # shellcheck disable=SC2086
  bench_storyboard "side-$mask.json" "$W" "$H" "$FRAMES" $clips
  graph_inputs "$mask" "$parts"

  start=$(now)
  bench_render "side-$mask.json" > /dev/null
  render=$(echo "$(now) $start" | awk -v n="$FRAMES" '{ printf "%.1f", 2 * n / ($1 - $2) }')
  start=$(now)
  ffmpeg_graph "$parts"
  graph=$(echo "$(now) $start" | awk -v n="$FRAMES" '{ printf "%.1f", 2 * n / ($1 - $2) }')
  ratio=$(echo "$render $graph" | awk '{ printf "%.2f", $1 / $2 }')
  printf '%-6s %-18s %14s %14s %8s\n' "$parts" "$mask" "$render" "$graph" "$ratio"
done
