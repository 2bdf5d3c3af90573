#!/bin/sh
# The main job on a fresh machine: renders four seconds of split screen from
# the built-in test patterns (no downloads) into out/demo.mp4, with a contact
# sheet of a few frames in out/demo-contact.png.
#
#   scripts/demo.sh [BUILD]     (make demo builds what is missing first)
#
# Everything happens in a fresh demo home, out/demo-home: the bundled masks
# are installed there, and the settings are made from scripts/demo/preset.json
# with tileron-preset. Your own home is not touched.
set -eu
BUILD=$(cd "${1:-build}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/out

for program in tileron-host tileron-masks tileron-preset; do
  if [ ! -x "$BUILD/$program" ]; then
    echo "demo: $BUILD/$program is missing; run make demo (or make build) first" >&2
    exit 1
  fi
done

mkdir -p "$OUT"
export VXHOME="$OUT/demo-home"
export VXHOST_LOG="$VXHOME/log/vxhost.log"
rm -rf "$VXHOME"
"$BUILD/tileron-host" masks install "$ROOT/data/masks" > /dev/null
mkdir -p "$VXHOME/programs/tileron/prefs"

"$BUILD/tileron-preset" make "$ROOT/scripts/demo/preset.json" -o "$VXHOME/programs/tileron/prefs/tileron.prf"
echo "demo: settings made from scripts/demo/preset.json"

echo "demo: rendering scripts/demo/storyboard.json"
"$BUILD/tileron-host" render "$ROOT/scripts/demo/storyboard.json" -o "$OUT/demo.mp4"

# A contact sheet: every 20th frame, shown with the format's pixel aspect.
ffmpeg -v error -y -i "$OUT/demo.mp4" \
  -vf "select='not(mod(n\,20))',scale=iw*sar/2:ih/2,setsar=1,tile=5x1:padding=4:color=white" \
  -frames:v 1 -update 1 "$OUT/demo-contact.png"

ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height,r_frame_rate,field_order \
  -show_entries format=duration -of default=noprint_wrappers=1 "$OUT/demo.mp4" | sed 's/^/demo.mp4: /'
echo "demo: wrote $OUT/demo.mp4 and $OUT/demo-contact.png"
