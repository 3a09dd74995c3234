#!/usr/bin/env bash
# Compares, byte for byte, frames of the i386 build with the same frames of
# the x86-64 build: whole loop frames from draw_frames (fixed animation
# values, the i386 build on its fast and on its plain paths), and the frames
# that a run of each intro with its own recording doubles presents in the
# paced intro (the logo blended over black, the divider lines).
#
# usage: compare_frames.sh NATIVE_BUILD I386_DATA_DIR I386_INTRO I386_DRAW_FRAMES
#                          I386_MEDIA_DOUBLE I386_MUSIC_DOUBLE [EMULATOR]
set -euo pipefail

native=$(realpath "$1") data=$(realpath "$2")
emulator=(${7:+"$7"})
work=$(mktemp -d /tmp/intro-i386-frames-XXXXXX)
trap 'rm -rf "$work"' EXIT

cd "$data/.."
"$native/tests/draw_frames" "$work/x86-64.frames"
for paths in on off; do
  INTRO_FAST_PATHS=$paths "${emulator[@]}" "$(realpath "$4")" "$work/i386.frames"
  cmp "$work/x86-64.frames" "$work/i386.frames"
done
echo "$(($(stat -c %s "$work/x86-64.frames") / (640 * 480 * 4))) loop frames alike on both paths"

# One run: NAME, the build's media and music doubles, then the command that
# runs its intro; it saves these presented frames and ends with Escape.
saved_flips="1 12 23 100 184"
run() {
  mkdir -p "$work/$1/data" "$work/$1/frames"
  ln -s "$data"/data0[1-5].dt "$work/$1/data/"
  ln -s "$(realpath "$2")" "$work/$1/data/sdl.library"
  ln -s "$(realpath "$3")" "$work/$1/data/mikmod.library"
  (cd "$work/$1" && PWD=$work/$1 SDL_VIDEODRIVER=dummy PULSE_SERVER=unix:$work/none \
     INTRO_DOUBLE_SAVE_DIR=$work/$1/frames INTRO_DOUBLE_SAVE_FLIPS=${saved_flips// /,} \
     INTRO_DOUBLE_EVENTS=after_flip=190:keydown=27 "${@:4}" windowed)
}
run x86-64 "$native/tests/librecording_sdl.so" "$native/tests/librecording_mikmod.so" "$native/intro"
run i386 "$5" "$6" "${emulator[@]}" "$(realpath "$3")"
for flip in $saved_flips; do cmp "$work/x86-64/frames/flip-$flip" "$work/i386/frames/flip-$flip"; done
