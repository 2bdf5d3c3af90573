#!/bin/sh
# Regenerates the bundled mask library in data/masks from its descriptions
# (data/masks/src/*.mask) and plain pack indexes (data/masks/src/*.index):
# every mask file, shape and stamp map, and one enciphered pack index
# (<name>.dat) per plain index. The output is committed.
#
#   scripts/masks.sh [BUILD_DIR]      (default: build; builds tileron-mask)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build"
cmake --build "$build" --target tileron-mask -j 2
tool=$build/tileron-mask
masks=$root/data/masks

rm -f "$masks"/*.xml "$masks"/*.png "$masks"/*.dat
"$tool" build "$masks"/src/*.mask -o "$masks"
for index in "$masks"/src/*.index; do
  "$tool" pack "$index" -o "$masks/$(basename "$index" .index).dat"
done
