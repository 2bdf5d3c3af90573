#!/bin/sh
# The render command against an FFmpeg filter graph doing the same job on the
# same clips, to no output: H.264 clips of 1280 x 720 scaled to a 1920 x 1080
# format, merged through the mask's part shapes over the background, the bar
# layer laid over the result. Two modes: both on one thread (render
# --threads 1; ffmpeg with one thread for each decoder and the graph), and
# both with their default threading. Prints fields per second of each, the
# ratio (above 1: the render command is faster) and the peak memory of
# each; then the peak memory of a 4-part render to MP4.
#
#   bench/side_by_side.sh [BUILD] [FRAMES]      (default: build, 100 frames)
#
# ROUNDS=N (default 1) runs each row's render and graph N times in turn and
# takes the median time of each, which steadies the ratio on a machine whose
# speed drifts. GNU time (/usr/bin/time, Debian's "time" package) measures
# the memory (of the last round).
set -eu
BUILD=$(cd "${1:-build}" && pwd)
FRAMES=${2:-100}
WORK="$BUILD/bench-work"
W=1920 H=1080
. "$(dirname "$0")/bench_lib.sh"
bench_setup
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
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

# ffmpeg_graph PARTS THREADED PEAK: the graph, its peak memory into the file
# PEAK; THREADED 0 keeps every decoder and the graph on one thread.
ffmpeg_graph() {
  _parts=$1 _inputs="" _i=0 _one=""
  [ "$2" = 1 ] || _one="-threads 1"
  for _clip in testsrc2 mandelbrot life cellauto; do
    [ "$_i" -lt "$_parts" ] || break
    _inputs="$_inputs $_one -i $WORK/clips/$_clip-1280x720.mp4"
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
  _graphThreads=""
  [ "$2" = 1 ] || _graphThreads="-filter_threads 1 -filter_complex_threads 1"
  # shellcheck disable=SC2086
  bench_peak "$3" ffmpeg -v error -nostdin $_graphThreads $_inputs -filter_complex "$_chain" -frames:v "$FRAMES" \
    -f null -
}

ROUNDS=${ROUNDS:-1}
# seconds START: the time since START.
seconds() { echo "$(now) $1" | awk '{ printf "%.3f", $1 - $2 }'; }
# rate TIMES...: fields per second of the median of the times.
rate() {
  printf '%s\n' "$@" | sort -n | awk -v n="$FRAMES" '{ t[NR] = $1 } END { printf "%.1f", 2 * n / t[int((NR + 1) / 2)] }'
}
megabytes() { awk '{ printf "%.0f", $1 / 1024 }' "$1"; }

printf '%-9s %-6s %-16s %9s %9s %6s %10s %10s\n' threading parts mask "render/s" "ffmpeg/s" ratio "render MB" "ffmpeg MB"
# A build from before --threads runs on one thread either way.
oneThread="--threads 1"
"$BUILD/tileron-host" render --help | grep -q -- --threads || oneThread=""
for mode in one default; do
  threaded=0 renderThreads=$oneThread
  [ "$mode" = one ] || { threaded=1 renderThreads=""; }
  for case in diagonal_down_2:2 grid_4:4; do
    mask=${case%:*} parts=${case#*:}
    bench_settings "$mask" "$parts" > /dev/null
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

    renderTimes="" graphTimes="" round=0
    while [ "$round" -lt "$ROUNDS" ]; do
      start=$(now)
      # shellcheck disable=SC2086
      bench_peak "$WORK/render.peak" "$BUILD/tileron-host" render "$WORK/side-$mask.json" -o /dev/null $renderThreads
      renderTimes="$renderTimes $(seconds "$start")"
      start=$(now)
      ffmpeg_graph "$parts" "$threaded" "$WORK/graph.peak"
      graphTimes="$graphTimes $(seconds "$start")"
      round=$((round + 1))
    done
    # shellcheck disable=SC2086
    render=$(rate $renderTimes)
    # shellcheck disable=SC2086
    graph=$(rate $graphTimes)
    ratio=$(echo "$render $graph" | awk '{ printf "%.2f", $1 / $2 }')
    printf '%-9s %-6s %-16s %9s %9s %6s %10s %10s\n' "$mode" "$parts" "$mask" "$render" "$graph" "$ratio" \
      "$(megabytes "$WORK/render.peak")" "$(megabytes "$WORK/graph.peak")"
  done
done

# Peak memory of a 4-part render of all the frames to MP4, and of one of half
# as many: the same when memory is flat in the clips' length.
bench_settings grid_4 4 > /dev/null
half=$((FRAMES / 2))
for frames in "$half" "$FRAMES"; do
  bench_storyboard "mp4-$frames.json" "$W" "$H" "$frames" testsrc2-1280x720 mandelbrot-1280x720 life-1280x720 \
    cellauto-1280x720
  bench_peak "$WORK/mp4.peak" "$BUILD/tileron-host" render "$WORK/mp4-$frames.json" -o "$WORK/out.mp4"
  printf 'peak memory of a 4-part render of %s frames to MP4: %s MB\n' "$frames" "$(megabytes "$WORK/mp4.peak")"
done
