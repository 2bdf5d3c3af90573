#!/bin/sh
# Opening cost against clip length: the render command renders the two fields
# of one frame from the middle of H.264 clips of 1500 and 12000 frames (the
# same frame offset into a group of pictures in both), in MP4, MOV and MKV,
# with the clip's pages in the page cache (hot) and evicted (cold). Prints the
# wall time and the bytes read (rchar: asked of the kernel; disk: read from
# the device) of the whole process, the median of RUNS runs, and the ratio of
# the long clip to the short one, which should stay near 1.
#
# The clips: 640 x 360 at 25 frames per second, FFmpeg's testsrc2 with
# temporal noise (so that pictures weigh what camera pictures weigh, about
# 18 kB each), libx264 ultrafast with 3 B-frames, CRF 22, a key frame every
# 50 frames; the long clip is the short one 8 times over (stream copy), about
# 220 MB. They are made once and kept in WORK. Cold runs evict the clip from
# the page cache (dd iflag=nocache); cold-all runs, where this user may write
# /proc/sys/vm/drop_caches, drop the whole page cache.
#
#   bench/open_bench.sh [BUILD] [RUNS]      (default: build, 3 runs)
set -eu
BUILD=$(cd "${1:-build}" && pwd)
RUNS=${2:-3}
WORK="$BUILD/bench-work"
. "$(dirname "$0")/bench_lib.sh"
bench_setup
bench_settings diagonal_down_2 2

LONG=12000 SHORT=1500
if [ ! -s "$WORK/clips/open-$SHORT.mp4" ]; then
  echo "making the clips (once)..." >&2
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25,noise=alls=6:allf=t" -frames:v $SHORT \
    -c:v libx264 -preset ultrafast -bf 3 -crf 22 -pix_fmt yuv420p \
    -x264-params keyint=50:min-keyint=50:scenecut=0 "$WORK/clips/open-$SHORT.mp4"
fi
if [ ! -s "$WORK/clips/open-$LONG.mp4" ]; then
  : > "$WORK/open.list"
  i=0
  while [ $i -lt $((LONG / SHORT)) ]; do
    echo "file '$WORK/clips/open-$SHORT.mp4'" >> "$WORK/open.list"
    i=$((i + 1))
  done
  ffmpeg -v error -y -f concat -safe 0 -i "$WORK/open.list" -c copy "$WORK/clips/open-$LONG.mp4"
fi
for length in $SHORT $LONG; do
  for ext in mov mkv; do
    clip="$WORK/clips/open-$length.$ext"
    [ -s "$clip" ] || ffmpeg -v error -y -i "$WORK/clips/open-$length.mp4" -c copy "$clip"
  done
done

# Frame length/2 + 7 of every clip: 7 frames after a key frame.
storyboard() {
  printf '{"format": {"width": 720, "height": 576, "rate": "25/1"}, "input": "colour:#202020", "length": %s,
  "scenes": [{"id": 1, "source": "clips/%s"}, {"id": 2, "source": "pattern:bars"}]}\n' "$1" "$2" > "$WORK/open.json"
  field=$(($1 + 14)) # 2 * (length / 2 + 7)
  FIELDS="$field:$((field + 1))"
}

# evict CACHE CLIP: "cold" evicts the clip's pages only, so that the disk
# column shows the clip's reads; "cold-all" drops the whole page cache (the
# program and its libraries are read again too).
evict() {
  case $1 in
    cold) dd if="$2" iflag=nocache count=0 status=none ;;
    cold-all) sync && echo 3 > /proc/sys/vm/drop_caches ;;
  esac
}
CACHES="hot cold"
[ -w /proc/sys/vm/drop_caches ] && CACHES="$CACHES cold-all"

# measure: one render; prints "seconds rchar read_bytes". The render's I/O
# counters are added to this sh's own when it is reaped, so /proc/$$/io before
# and after it gives the render's reads (and a few of the cat and date runs).
measure() {
  sh -c '
    before=$(cat /proc/$$/io); start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "bench: the render failed: $*" >&2; exit 1; }
    end=$(date +%s.%N); after=$(cat /proc/$$/io)
    printf "%s\n%s\n" "$before" "$after" | awk -v s="$start" -v e="$end" "
      /^rchar/ { r[n_r++] = \$2 } /^read_bytes/ { b[n_b++] = \$2 }
      END { printf \"%.3f %d %d\n\", e - s, r[1] - r[0], b[1] - b[0] }"
  ' sh "$@"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-4s %-8s %7s %9s %11s %11s\n' clip cache frames seconds "rchar MB" "disk MB"
for ext in mp4 mov mkv; do
  for cache in $CACHES; do
    for length in $SHORT $LONG; do
      storyboard $length "open-$length.$ext"
      : > "$WORK/open.runs"
      run=0
      # A hot run first fills the cache.
      [ "$cache" = hot ] && measure "$BUILD/tileron-host" render "$WORK/open.json" --fields "$FIELDS" -o /dev/null >/dev/null
      while [ $run -lt "$RUNS" ]; do
        evict "$cache" "$WORK/clips/open-$length.$ext"
        measure "$BUILD/tileron-host" render "$WORK/open.json" --fields "$FIELDS" -o /dev/null >> "$WORK/open.runs"
        run=$((run + 1))
      done
      seconds=$(cut -d' ' -f1 "$WORK/open.runs" | median)
      rchar=$(cut -d' ' -f2 "$WORK/open.runs" | median)
      disk=$(cut -d' ' -f3 "$WORK/open.runs" | median)
      printf '%-4s %-8s %7s %9s %11.2f %11.2f\n' "$ext" "$cache" "$length" "$seconds" \
        "$(echo "$rchar" | awk '{ print $1 / 1e6 }')" "$(echo "$disk" | awk '{ print $1 / 1e6 }')"
      if [ "$length" = $SHORT ]; then short_s=$seconds short_r=$rchar; else long_s=$seconds long_r=$rchar; fi
    done
    awk -v a="$short_s" -v b="$long_s" -v c="$short_r" -v d="$long_r" -v x="$ext" -v k="$cache" \
      -v l="$LONG / $SHORT" 'BEGIN { printf "%-4s %-8s %7s %9.2f %11.2f   (%s)\n", x, k, "ratio", b / a, d / c, l }'
  done
done
