#!/usr/bin/env bash
# One whole run of a built intro with the recording doubles as its libraries
# and the generated assets of data/: the intro animation, the main scene for a
# while with the clock and music threads running, then an interrupt (or an
# Escape press), the fades, the credits and the shutdown. Every delay really
# sleeps, so the threads run against the frame loop for real time.
#
# Usage: scripts/full_run.sh BUILD_DIR interrupt|escape [WRAPPER COMMAND...]
#   BUILD_DIR  a configured and built tree: its intro and tests/librecording_*.so
#   interrupt  SIGINT once the scene has run SCENE_SECONDS (default 3) seconds
#   escape     an Escape key press at the 400th presented frame
#   WRAPPER    a command that runs the intro, e.g. valgrind and its options
# Environment: SCENE_SECONDS, RUN_TIMEOUT (seconds before the run counts as
# hung and is killed, default 300).
#
# Passes when the intro exits with 0, printed nothing, and its call log shows
# the scene's teardown, the credits and an orderly shutdown with no surface or
# module left unreleased.
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "$1" && pwd)
ending=$2
shift 2
scene_seconds=${SCENE_SECONDS:-3}
run_timeout=${RUN_TIMEOUT:-300}

fail() {
  echo "full run ($ending): $*" >&2
  exit 1
}

run_dir=$(mktemp -d)
trap 'rm -rf "$run_dir"' EXIT
mkdir "$run_dir/data"
ln -s "$build_dir/tests/librecording_sdl.so" "$run_dir/data/sdl.library"
ln -s "$build_dir/tests/librecording_mikmod.so" "$run_dir/data/mikmod.library"
for asset in data01 data02 data03 data04 data05; do
  [[ -f $project_root/data/$asset.dt ]] || fail "data/$asset.dt has not been generated"
  ln -s "$project_root/data/$asset.dt" "$run_dir/data/$asset.dt"
done

log=$run_dir/calls.log
events=
case $ending in
  interrupt) ;;
  escape) events="after_flip=400:keydown=27" ;;
  *) fail "unknown ending (interrupt or escape)" ;;
esac

# The intro reads its libraries and assets through PWD and the working
# directory alike, both the run directory. A sound server that is never there
# makes the run that of a machine that may have sound, as in the end-to-end
# tests, where the intro prints nothing (it names a machine without one).
(cd "$run_dir" && exec env PWD="$run_dir" SDL_VIDEODRIVER=dummy INTRO_DOUBLE_LOG="$log" \
  PULSE_SERVER="unix:$run_dir/no-sound-server" \
  INTRO_DOUBLE_REAL_DELAY=1 INTRO_DOUBLE_EVENTS="$events" \
  "$@" "$build_dir/intro" windowed >"$run_dir/out" 2>"$run_dir/err") &
pid=$!

deadline=$((SECONDS + run_timeout))
still_running() { kill -0 "$pid" 2>/dev/null; }
if [[ $ending == interrupt ]]; then
  # The music thread's first call marks the moment both threads run.
  until grep -q '^Player_Start' "$log" 2>/dev/null; do
    still_running || break
    ((SECONDS < deadline)) || { kill -KILL "$pid"; fail "the scene never started"; }
    sleep 0.1
  done
  sleep "$scene_seconds"
  kill -INT "$pid" 2>/dev/null || true
fi
while still_running; do
  ((SECONDS < deadline)) || { kill -KILL "$pid"; wait "$pid" || true; fail "hung for $run_timeout s"; }
  sleep 0.2
done
status=0
wait "$pid" || status=$?

if [[ -s $run_dir/out || -s $run_dir/err ]]; then
  cat "$run_dir/out" "$run_dir/err" >&2
  fail "the intro printed something"
fi
((status == 0)) || fail "exit status $status"
grep -q '^MikMod_Update' "$log" || fail "the music thread never fed the player"
grep -q '^Player_Free module' "$log" || fail "the scene's teardown did not release the module"
# After the scene's teardown: fades and credits present frames, then the
# libraries go in order.
after_scene=$(sed -n '/^MikMod_Exit/,$p' "$log")
flips_after_scene=$(grep -c '^SDL_Flip' <<<"$after_scene" || true)
((flips_after_scene > 100)) || fail "only $flips_after_scene frames after the scene: no fades or credits"
if grep -q 'leaked' "$log"; then
  grep 'leaked' "$log" >&2
  fail "a surface or the module was never released"
fi
[[ $(tail -n 1 "$log") == "recording_sdl unloaded" ]] || fail "no orderly shutdown"
echo "full run ($ending): $(grep -c '^SDL_Flip' "$log") frames, $(grep -c '^MikMod_Update' "$log") music updates, exit 0"
