#!/usr/bin/env bash
# The intro with an X display that cannot be reached, as over ssh with a
# display that is gone: the real SDL 1.2 falls back to its colour-ASCII
# driver and draws in the terminal. Runs it in a tmux pane with the built
# assets and the real libmikmod, waits until the scene fills the middle of
# the terminal, sends Escape as a terminal key and expects exit status 0
# after the fades and the credits, and the one line that says why the
# picture went to the terminal.
#
# usage: terminal_test.sh INTRO DATA_DIR
set -euo pipefail

intro=$(realpath "$1")
data_dir=$(realpath "$2")
columns=100
lines=40

work=$(mktemp -d /tmp/intro-terminal-XXXXXX)
socket="intro-terminal-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/run" "$work/run/data"
for name in data01.dt data02.dt data03.dt data04.dt data05.dt sdl.library mikmod.library; do
  ln -s "$(realpath "$data_dir/$name")" "$work/run/data/$name"
done

# A display number no X server answers on.
display_number=4242
while [[ -e /tmp/.X11-unix/X$display_number || -e /tmp/.X$display_number-lock ]]; do
  ((display_number += 1))
done

export TERM=${TERM:-xterm}
tmux -L "$socket" -f /dev/null new-session -d -s intro -x "$columns" -y "$lines" \
  "cd '$work/run' && env -u SDL_VIDEODRIVER DISPLAY=:$display_number PWD='$work/run' '$intro' 2>'$work/stderr'; echo \$? >'$work/status'"

# The band between the divider lines (terminal rows 16..30) stays black, and
# so blank, during the intro; in the scene it is drawn over from edge to edge.
scene_fills_the_terminal() {
  local screen filled
  screen=$(tmux -L "$socket" capture-pane -p -t intro 2>/dev/null | sed -n '16,30p') || return 1
  filled=$(printf '%s' "$screen" | tr -d ' \n' | wc -c)
  ((filled > columns * 15 * 8 / 10))
}

wait_until() {  # seconds, command...
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

ended() { [[ -s $work/status ]]; }

if ! wait_until 60 scene_fills_the_terminal; then
  echo "no scene drawn in the terminal; the screen was:"
  tmux -L "$socket" capture-pane -p -t intro || true
  exit 1
fi
echo "the scene is drawn as text:"
tmux -L "$socket" capture-pane -p -t intro | sed -n '18,21p'

# Escape is sent again if a busy machine lost it.
for _ in 1 2 3; do
  tmux -L "$socket" send-keys -t intro Escape 2>/dev/null || true
  if wait_until 20 ended; then break; fi
done
if ! ended; then
  echo "the intro did not end after Escape"
  exit 1
fi
status=$(cat "$work/status")
if [[ $status != 0 ]]; then
  echo "exit status $status"
  grep -v '^ALSA lib' "$work/stderr" || true
  exit 1
fi
said="The X display :$display_number could not be reached, so the intro was drawn in the terminal"
if ! grep -qxF "$said" "$work/stderr"; then
  echo "standard error does not say why the picture went to the terminal:"
  grep -v '^ALSA lib' "$work/stderr" || true
  exit 1
fi
echo "the intro played in the terminal, ended on Escape, said why, and exited with 0"
