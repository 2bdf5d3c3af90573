# Shared by the whole-render benchmarks (sourced, not run).
#   BUILD  the build folder holding tileron-host and tileron-preset
#   WORK   a scratch folder (kept between runs: clips are made once)

bench_setup() {
  for program in tileron-host tileron-preset; do
    if [ ! -x "$BUILD/$program" ]; then
      echo "bench: $BUILD/$program is missing; build it first" >&2
      exit 1
    fi
  done
  ROOT=$(cd "$(dirname "$0")/.." && pwd)
  mkdir -p "$WORK/clips"
  export VXHOME="$WORK/home"
  export VXHOST_LOG="$WORK/vxhost.log"
  rm -rf "$VXHOME"
  mkdir -p "$VXHOME/programs/tileron/mask" "$VXHOME/programs/tileron/prefs"
  cp "$ROOT"/data/masks/*.xml "$ROOT"/data/masks/*.png "$ROOT"/data/masks/*.dat "$VXHOME/programs/tileron/mask/"
}

# bench_clip NAME WIDTHxHEIGHT FRAMES SOURCE: an H.264 clip made once from an
# FFmpeg test source (testsrc2, mandelbrot, …) at 25 frames per second.
bench_clip() {
  [ -s "$WORK/clips/$1.mp4" ] && return 0
  ffmpeg -v error -y -f lavfi -i "$4=size=$2:rate=25" -frames:v "$3" \
    -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p "$WORK/clips/$1.mp4" 2>/dev/null ||
    ffmpeg -v error -y -f lavfi -i "$4=size=$2:rate=25" -frames:v "$3" \
      -c:v mpeg4 -q:v 3 -pix_fmt yuv420p "$WORK/clips/$1.mp4"
}

# bench_settings MASK SCENES: settings for MASK with scenes 1..SCENES in its
# parts. (Shell functions share their variables: these use a _ prefix.)
bench_settings() {
  _parts=""
  _i=1
  while [ "$_i" -le "$2" ]; do
    _parts="$_parts${_parts:+, }{\"scene\": $_i}"
    _i=$((_i + 1))
  done
  printf '{"mask": "%s", "bar": {"width": 6}, "parts": [%s]}\n' "$1" "$_parts" > "$WORK/preset.json"
  "$BUILD/tileron-preset" make "$WORK/preset.json" -o "$VXHOME/programs/tileron/prefs/tileron.prf"
}

# bench_storyboard FILE WIDTH HEIGHT FRAMES CLIP...: scenes 1.. are the clips.
bench_storyboard() {
  _file=$1 _width=$2 _height=$3 _frames=$4
  shift 4
  _scenes=""
  _i=1
  for _name in "$@"; do
    _scenes="$_scenes${_scenes:+, }{\"id\": $_i, \"source\": \"clips/$_name.mp4\"}"
    _i=$((_i + 1))
  done
  printf '{"format": {"width": %s, "height": %s, "rate": "25/1"}, "input": "colour:#202020", "length": %s, "scenes": [%s]}\n' \
    "$_width" "$_height" "$_frames" "$_scenes" > "$WORK/$_file"
}

# bench_render STORYBOARD [OPTION...]: renders to no output and prints the --stats line.
bench_render() {
  _board=$1
  shift
  "$BUILD/tileron-host" render "$WORK/$_board" -o /dev/null --stats "$@"
}

# bench_peak FILE COMMAND...: runs the command with GNU time, which writes
# its peak resident memory in KiB to FILE.
bench_peak() {
  _file=$1
  shift
  /usr/bin/time -f %M -o "$_file" "$@"
}
