#!/bin/sh
# Installs what render farms on Slurm and `make farm-test` need (Debian 12):
# the scheduler's controller and node daemons and the munge authentication
# service. Not part of the main dependencies: a plain build and CI need neither.
exec "$(dirname "$0")/../deps.sh" slurm-wlm munge
