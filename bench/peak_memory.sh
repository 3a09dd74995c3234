#!/usr/bin/env bash
# Peak resident memory of one whole run of the intro (intro, main scene with
# some 200 frames, fades, credits) with the recording stand-ins of SDL and
# libmikmod, measured by GNU time around scripts/full_run.sh. Prints
# "peak resident memory: N kB".
#
# Usage: bench/peak_memory.sh [BUILD_DIR]   (default: build)
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$project_root/build}
report=$(mktemp)
trap 'rm -f "$report"' EXIT

# The intro presents 184 frames before its frame loop; Escape comes 216
# frames into the loop.
"$project_root/scripts/full_run.sh" "$build_dir" escape /usr/bin/time -v -o "$report"
awk -F': ' '/Maximum resident set size/ { print "peak resident memory: " $2 " kB" }' "$report"
