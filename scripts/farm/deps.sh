#!/bin/sh
# Installs what render farms on Slurm and `make farm-test` need (Debian 12):
# the scheduler's controller and node daemons and the munge authentication
# service. Not part of scripts/deps.sh: a plain build and CI need neither.
set -e
PKGS="slurm-wlm munge"
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
