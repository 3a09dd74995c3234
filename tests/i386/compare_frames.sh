#!/usr/bin/env bash
# Compares, byte for byte, whole loop frames of the i386 build with the same
# frames of the x86-64 build: draw_frames draws them with fixed animation
# values, the i386 build on its fast and on its plain paths. (Its whole runs
# with its own recording doubles are e2e_tests, run on that build too.)
#
# usage: compare_frames.sh NATIVE_BUILD I386_DATA_DIR I386_DRAW_FRAMES [EMULATOR]
set -euo pipefail

native=$(realpath "$1")
emulator=(${4:+"$4"})
work=$(mktemp -d /tmp/intro-i386-frames-XXXXXX)
trap 'rm -rf "$work"' EXIT

cd "$2/.."
"$native/tests/draw_frames" "$work/x86-64.frames"
for paths in on off; do
  INTRO_FAST_PATHS=$paths "${emulator[@]}" "$(realpath "$3")" "$work/i386.frames"
  cmp "$work/x86-64.frames" "$work/i386.frames"
done
echo "$(($(stat -c %s "$work/x86-64.frames") / (640 * 480 * 4))) loop frames alike on both paths"
