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

native=$(realpath "$1") data=$(realpath "$2") intro=$(realpath "$3") draw_frames=$(realpath "$4")
media_double=$(realpath "$5") music_double=$(realpath "$6")
emulator=(${7:+"$7"})
work=$(mktemp -d /tmp/intro-i386-frames-XXXXXX)
trap 'rm -rf "$work"' EXIT

cd "$data/.."
"$native/tests/draw_frames" "$work/x86-64.frames"
"${emulator[@]}" "$draw_frames" "$work/i386.frames"
INTRO_FAST_PATHS=off "${emulator[@]}" "$draw_frames" "$work/i386-plain.frames"
cmp "$work/x86-64.frames" "$work/i386.frames"
cmp "$work/x86-64.frames" "$work/i386-plain.frames"
echo "$(($(stat -c %s "$work/x86-64.frames") / (640 * 480 * 4))) loop frames alike on both paths"

# One run: NAME, then the command that runs the intro, in a directory whose
# data/ holds the generated assets and that build's two doubles.
saved_flips=1,12,23,100,184
run() {
  local name=$1 media=$2 music=$3
  shift 3
  local directory=$work/$name
  mkdir -p "$directory/data" "$directory/frames"
  ln -s "$data"/data0[1-5].dt "$directory/data/"
  ln -s "$media" "$directory/data/sdl.library"
  ln -s "$music" "$directory/data/mikmod.library"
  (cd "$directory" && PWD=$directory SDL_VIDEODRIVER=dummy PULSE_SERVER=unix:$work/none \
     INTRO_DOUBLE_LOG=$directory/calls.log INTRO_DOUBLE_SAVE_DIR=$directory/frames \
     INTRO_DOUBLE_SAVE_FLIPS=$saved_flips INTRO_DOUBLE_EVENTS=after_flip=190:keydown=27 \
     "$@" windowed)
}
run x86-64 "$native/tests/librecording_sdl.so" "$native/tests/librecording_mikmod.so" "$native/intro"
run i386 "$media_double" "$music_double" "${emulator[@]}" "$intro"
for flip in ${saved_flips//,/ }; do
  cmp "$work/x86-64/frames/flip-$flip.pam" "$work/i386/frames/flip-$flip.pam"
done
echo "frames $saved_flips of the run alike"
