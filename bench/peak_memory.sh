#!/usr/bin/env bash
# Peak resident memory of one whole run of the intro (intro, main scene with
# some 200 frames, fades, credits) with the recording stand-ins of SDL and
# libmikmod, measured by GNU time. Prints "peak resident memory: N kB".
#
# Usage: bench/peak_memory.sh [BUILD_DIR]   (default: build)
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "${1:-$project_root/build}" && pwd)
run_dir=$(mktemp -d)
trap 'rm -rf "$run_dir"' EXIT

mkdir "$run_dir/data"
ln -s "$build_dir/tests/librecording_sdl.so" "$run_dir/data/sdl.library"
ln -s "$build_dir/tests/librecording_mikmod.so" "$run_dir/data/mikmod.library"
for asset in data01 data02 data03 data04 data05; do
  ln -s "$project_root/data/$asset.dt" "$run_dir/data/$asset.dt"
done

# The intro presents 184 frames before its frame loop; Escape comes 216
# frames into the loop.
cd "$run_dir"
PWD=$run_dir INTRO_DOUBLE_EVENTS="after_flip=400:keydown=27" \
  /usr/bin/time -v -o "$run_dir/time.txt" "$build_dir/intro" windowed > /dev/null 2>&1
awk -F': ' '/Maximum resident set size/ { print "peak resident memory: " $2 " kB" }' "$run_dir/time.txt"
