#!/bin/sh
# Installs the Debian 12 packages the build, the tests and the demo need
# (clang, its libFuzzer runtime and llvm's symbolizer for make fuzz and the
# sanitizers' reports),
# only when one of them is missing; given package names, those instead.
set -e
PKGS="build-essential cmake pkg-config git
libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
libsdl2-dev libfreetype-dev fonts-dejavu-core libspng-dev
nlohmann-json3-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
ffmpeg xvfb
clang libclang-rt-14-dev llvm"
[ $# -eq 0 ] || PKGS="$*"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
