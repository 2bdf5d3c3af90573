#!/bin/sh
# Remakes the editor screenshots of docs/ (docs/editor.md, docs/requesters.md)
# with the headless editor: the demo storyboard and preset, 1920 x 1080 (wide
# layout at the bottom, at the top, compact strip) and 1024 x 768 (mask page,
# part page); the requesters: the mask selector at both sizes, the anchor
# requester, the bar style requester in its three modes with the texture
# requester, the archive chooser, the question before a preset is replaced
# and the about box; in English and German.
#
#   scripts/editor_screenshots.sh [BUILD]
#
# Everything happens in a fresh home, out/shots-home; your own home is not
# touched.
set -eu
BUILD=$(cd "${1:-build}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/out
DOCS=$ROOT/docs

mkdir -p "$OUT"
export VXHOME="$OUT/shots-home"
export VXHOST_LOG="$VXHOME/log/vxhost.log"
rm -rf "$VXHOME"
"$BUILD/tileron-host" masks install "$ROOT/data/masks" > /dev/null
mkdir -p "$VXHOME/programs/tileron/prefs" "$VXHOME/programs/tileron/archive"
STORY=$ROOT/scripts/demo/storyboard.json

for language in english deutsch; do
  case $language in english) tag=en ;; deutsch) tag=de ;; esac
  "$BUILD/tileron-preset" make "$ROOT/scripts/demo/preset.json" -o "$VXHOME/programs/tileron/prefs/tileron.prf"
  # The pointer rests on the current part (the part pointer shows) and then
  # over the stamp view (its help line shows).
  cat > "$OUT/shots-wide.txt" <<SCRIPT
move 1300 250
screenshot $DOCS/editor-wide-$tag.png
key y
move 910 60
screenshot $DOCS/editor-wide-top-$tag.png
key x
move 1300 250
screenshot $DOCS/editor-compact-$tag.png
close
SCRIPT
  "$BUILD/tileron-host" edit "$STORY" --screen 1920x1080 --language $language --script "$OUT/shots-wide.txt"
  cat > "$OUT/shots-narrow.txt" <<SCRIPT
move 300 700
screenshot $DOCS/editor-mask-page-$tag.png
key m
move 600 300
screenshot $DOCS/editor-part-page-$tag.png
close
SCRIPT
  "$BUILD/tileron-host" edit "$STORY" --screen 1024x768 --language $language --script "$OUT/shots-narrow.txt"
done
# The requesters.
for language in english deutsch; do
  case $language in english) tag=en ;; deutsch) tag=de ;; esac
  "$BUILD/tileron-preset" make "$ROOT/scripts/demo/preset.json" -o "$VXHOME/programs/tileron/prefs/tileron.prf"
  "$BUILD/tileron-preset" make "$ROOT/scripts/demo/preset.json" -o "$VXHOME/programs/tileron/archive/demo.prf"
  # Every requester is closed with Escape (cancel), so the settings stay as
  # the preset made them.
  cat > "$OUT/shots-requesters.txt" <<SCRIPT
key t
screenshot $DOCS/selector-1920-$tag.png
key escape
key e
move 960 540
screenshot $DOCS/anchor-$tag.png
key escape
key c
screenshot $DOCS/barstyle-gradient-$tag.png
key 7
screenshot $DOCS/barstyle-colour-$tag.png
key 8
key right
screenshot $DOCS/texture-$tag.png
key return
key m
screenshot $DOCS/barstyle-texture-$tag.png
key escape
key r
screenshot $DOCS/archive-$tag.png
key s
type demo
key return
screenshot $DOCS/preset-replace-$tag.png
key escape
key i
screenshot $DOCS/about-$tag.png
key return
close
SCRIPT
  "$BUILD/tileron-host" edit "$STORY" --screen 1920x1080 --language $language --script "$OUT/shots-requesters.txt"
  cat > "$OUT/shots-narrow.txt" <<SCRIPT
key t
screenshot $DOCS/selector-1024-$tag.png
key escape
close
SCRIPT
  "$BUILD/tileron-host" edit "$STORY" --screen 1024x768 --language $language --script "$OUT/shots-narrow.txt"
done
echo "editor screenshots: $DOCS/editor-*.png; requesters: $DOCS/{selector,anchor,barstyle,texture,archive,preset-replace,about}-*.png"
