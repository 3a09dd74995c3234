#!/usr/bin/env python3
"""The intro with an X display that cannot be reached, as over ssh with a
display that is gone: the real SDL 1.2 falls back to its colour-ASCII driver
and draws in the terminal. Runs it in a tmux pane with the built assets and
the real libmikmod, waits until the scene fills the middle of the terminal,
sends Escape as a terminal key and expects exit status 0 after the fades and
the credits, and the one line that says why the picture went to the terminal.

usage: terminal_test.py INTRO DATA_DIR
"""
import os
import shlex
import subprocess
import sys

from system_support import RunDirectory, intro_environment, wait_for

COLUMNS, LINES = 100, 40


def free_display_number():
    """A display number no X server answers on."""
    number = 4242
    while os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
        number += 1
    return number


def main():
    intro, data_dir = (os.path.abspath(argument) for argument in sys.argv[1:3])
    directory = RunDirectory(data_dir)
    stderr, status = os.path.join(directory.path, "stderr"), os.path.join(directory.path, "status")
    display = f":{free_display_number()}"
    socket = f"intro-terminal-{os.getpid()}"

    def tmux(*arguments):
        return subprocess.run(["tmux", "-L", socket, *arguments], capture_output=True, text=True)

    def screen():
        return tmux("capture-pane", "-p", "-t", "intro").stdout.split("\n")

    # The band between the divider lines (terminal rows 16..30) stays black,
    # and so blank, during the intro; in the scene it is drawn over edge to edge.
    def scene_fills_the_terminal():
        return len("".join(screen()[15:30]).replace(" ", "")) > COLUMNS * 15 * 8 // 10

    def ended():
        return os.path.exists(status) and os.path.getsize(status) > 0

    environment = intro_environment(directory.path, DISPLAY=display, TERM=os.environ.get("TERM", "xterm"))
    command = f"{shlex.quote(intro)} 2>{shlex.quote(stderr)}; echo $? >{shlex.quote(status)}"
    try:
        subprocess.run(["tmux", "-L", socket, "-f", "/dev/null", "new-session", "-d", "-s", "intro",
                        "-x", str(COLUMNS), "-y", str(LINES), "-c", directory.path, command],
                       env=environment, check=True)
        if not wait_for(scene_fills_the_terminal, 60, interval=0.2):
            print("no scene drawn in the terminal; the screen was:", *screen(), sep="\n")
            return 1
        print("the scene is drawn as text:", *screen()[17:21], sep="\n")
        for _ in range(3):  # Escape is sent again if a busy machine lost it
            tmux("send-keys", "-t", "intro", "Escape")
            if wait_for(ended, 20, interval=0.2):
                break
        if not ended():
            print("the intro did not end after Escape")
            return 1
        with open(status) as file:
            code = file.read().strip()
        with open(stderr, errors="replace") as file:
            errors = [line for line in file.read().splitlines() if not line.startswith("ALSA lib")]
        if code != "0":
            print(f"exit status {code}", *errors, sep="\n")
            return 1
        said = f"The X display {display} could not be reached, so the intro was drawn in the terminal"
        if said not in errors:
            print("standard error does not say why the picture went to the terminal:", *errors, sep="\n")
            return 1
        print("the intro played in the terminal, ended on Escape, said why, and exited with 0")
        return 0
    finally:
        tmux("kill-server")
        directory.remove()


if __name__ == "__main__":
    sys.exit(main())
