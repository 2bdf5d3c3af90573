#!/bin/sh
# The main job: shows what the plug-in says about itself.
set -e
BUILD=${1:-build}
"$BUILD/tileron-host" info
