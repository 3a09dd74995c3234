#!/usr/bin/env python3
"""The intro in a real X window: the real SDL 1.2 (x11 driver) under Xvfb and
the real libmikmod, with the built assets, once with each SDL library given
(SDL 1.2.15 itself, the compatibility library over SDL 2). For the windowed
and the full-screen mode it takes screenshots of the X display during the
scene (after its fade-in) and during the credits page, checks what they show, keeps them as artefacts,
ends the scene and expects exit status 0 once the fades and the credits have
run. The window must carry the intro's title. The windowed scene is ended
with Escape pressed through the X server, the full-screen one with SIGTERM,
which the media library would otherwise take for itself.

usage: window_test.py INTRO DATA_DIR ARTEFACT_DIR SDL_LIBRARY...
"""
import os
import random
import signal
import subprocess
import sys
import time

from system_support import RunDirectory, Screenshot, intro_environment, wait_for

LOWER_DIVIDER_ROW = 400
PANEL = (70, 190, 70 + 512, 190 + 215)  # left, top, right, bottom (exclusive)
SCROLLER_ROWS = (401, 480)
CREDITS = (240, 170, 400, 266)
LAST_CREDITS_GLYPH = (392, 250, 400, 266)  # the "O" that ends the typing
TITLE = "KOB recruitment intro"


def white(pixel):
    return min(pixel) > 200


def orange(pixel):  # the scroller's glyphs: strong red, little blue
    return pixel[0] > 200 and pixel[2] < 120


def scene_faults(shot):
    """What the screenshot lacks of a scene whose fade-in is complete (the
    frame's layers themselves are the end-to-end tests' to check)."""
    faults = []
    if shot.at(319, LOWER_DIVIDER_ROW) != (255, 255, 255):
        faults.append(f"row {LOWER_DIVIDER_ROW} does not hold the divider's white middle")
    panel_text = shot.count(*PANEL, white)
    if panel_text < 300:
        faults.append(f"only {panel_text} text pixels in the panel")
    scroller = shot.count(0, SCROLLER_ROWS[0], 640, SCROLLER_ROWS[1], orange)
    if scroller < 300:
        faults.append(f"only {scroller} scroller pixels in rows 401..479")
    return faults


def credits_faults(shot):
    faults = []
    text = shot.count(*CREDITS, white)
    if text < 150:
        faults.append(f"only {text} text pixels in the credits region")
    if shot.count(*LAST_CREDITS_GLYPH, lambda p: max(p) > 100) < 5:  # lit by any glyph
        faults.append("the credits are not typed to their end")
    left, top, right, bottom = CREDITS
    outside = [shot.at(x, y) for y in range(0, 480, 2) for x in range(0, 640, 2)
               if not (left <= x < right and top <= y < bottom)]
    if max(max(p) for p in outside) > 60:
        faults.append("bright pixels outside the credits text")
    return faults


class Xvfb:
    """A virtual X server on a free display number of its own. The number is
    given explicitly, so the server takes the display's lock file and other
    servers started on this machine keep off it. Without -noreset the server
    resets when the probing client leaves, and refuses the intro meanwhile."""

    def __init__(self):
        for number in random.sample(range(100, 1000), 20):
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            self.display = f":{number}"
            self.process = subprocess.Popen(
                ["Xvfb", self.display, "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            answering = wait_for(lambda: self.process.poll() is not None
                                 or xdotool(self.display, "getdisplaygeometry").returncode == 0, 30)
            if answering and self.process.poll() is None:
                return
            self.stop()  # taken meanwhile, or not answering: try another number
        raise RuntimeError("no X display number could be had")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait(timeout=10)


def xdotool(display, *arguments):
    return subprocess.run(["xdotool", *arguments], env=dict(os.environ, DISPLAY=display),
                          capture_output=True, text=True, timeout=30)


def press_escape(display, window):
    """A key press and, in a later frame, its release: an Escape followed by
    another event within one pass of the frame loop would not count."""
    xdotool(display, "mousemove", "320", "240")
    xdotool(display, "windowfocus", window)
    xdotool(display, "keydown", "Escape")
    time.sleep(0.3)
    xdotool(display, "keyup", "Escape")


def end_scene(display, window, run, mode):
    if mode == "windowed":
        press_escape(display, window)
    else:
        run.send_signal(signal.SIGTERM)


def shoot_until(display, path, faults_of, timeout):
    """Screenshots into `path` until one has no fault; returns the faults of
    the last one taken (empty on success)."""
    last = ["no screenshot taken"]

    def clean():
        nonlocal last
        last = faults_of(Screenshot(display, path))
        return not last

    wait_for(clean, timeout, interval=0.2)
    return last


def sdl_label(library):
    return "sdl12-compat" if "sdl12-compat" in library else "sdl-1.2.15"


def run_mode(intro, data_dir, sdl_library, artefacts, mode):
    arguments = [intro] + (["windowed"] if mode == "windowed" else [])
    name = f"{sdl_label(sdl_library)}-{mode}"  # of the artefacts, and in the faults
    server = Xvfb()
    directory = RunDirectory(data_dir)
    os.remove(os.path.join(directory.path, "data", "sdl.library"))
    os.symlink(sdl_library, os.path.join(directory.path, "data", "sdl.library"))
    output_path = os.path.join(artefacts, f"{name}-output.txt")
    output = open(output_path, "wb")
    run = None
    try:
        run = subprocess.Popen(arguments, cwd=directory.path, stdout=output, stderr=output,
                               env=intro_environment(directory.path, DISPLAY=server.display))
        found = wait_for(lambda: run.poll() is not None
                         or xdotool(server.display, "search", "--classname", "intro").stdout.split(), 60)
        if run.poll() is not None or not found:
            return [f"{name}: no window appeared (output in {output_path})"]
        scene_shot = os.path.join(artefacts, f"{name}-scene.png")
        faults = shoot_until(server.display, scene_shot,
                             scene_faults, 90)
        if faults:
            return [f"{name} scene ({scene_shot}): {fault}" for fault in faults]

        # Looked up again: SDL 2 may replace the first window it showed.
        windows = xdotool(server.display, "search", "--classname", "intro").stdout.split()
        titles = [xdotool(server.display, "getwindowname", window).stdout.strip() for window in windows]
        if TITLE not in titles:
            return [f"{name}: the window's titles are {titles!r}, not {TITLE!r}"]
        window = windows[titles.index(TITLE)]

        credits_shot = os.path.join(artefacts, f"{name}-credits.png")
        for _ in range(3):  # a press lost to a busy machine is repeated
            end_scene(server.display, window, run, mode)
            faults = shoot_until(server.display, credits_shot, credits_faults, 15)
            if not faults:
                break
        if faults:
            return [f"{name} credits ({credits_shot}): {fault}" for fault in faults]
        try:
            status = run.wait(timeout=60)
        except subprocess.TimeoutExpired:
            return [f"{name}: the intro did not end after the credits"]
        return [] if status == 0 else [f"{name}: exit status {status}"]
    finally:
        if run is not None and run.poll() is None:
            run.kill()
            run.wait()
        output.close()
        directory.remove()
        server.stop()


def run_mode_until_shown(intro, data_dir, sdl_library, artefacts, mode, attempts=3):
    """Now and then SDL cannot open a freshly started virtual X server and
    the intro duly ends with its display message; such a start is retried
    on a new server. Every other fault counts at once."""
    for attempt in range(attempts):
        faults = run_mode(intro, data_dir, sdl_library, artefacts, mode)
        if not any("no window appeared" in fault for fault in faults):
            return faults
        name = f"{sdl_label(sdl_library)}-{mode}"
        print(f"{name}: attempt {attempt + 1} opened no window; output:")
        with open(os.path.join(artefacts, f"{name}-output.txt"), errors="replace") as output:
            print(output.read())
    return faults


def main():
    intro, data_dir, artefacts, *sdl_libraries = (os.path.abspath(argument) for argument in sys.argv[1:])
    os.makedirs(artefacts, exist_ok=True)
    faults = [f"no SDL library at {library}" for library in sdl_libraries if not os.path.isfile(library)]
    faults += [] if sdl_libraries else ["no SDL library given"]
    for library in sdl_libraries if not faults else []:
        faults += run_mode_until_shown(intro, data_dir, library, artefacts, "windowed")
        faults += run_mode_until_shown(intro, data_dir, library, artefacts, "fullscreen")
    for fault in faults:
        print(fault)
    if not faults:
        print(f"windowed and full screen with {', '.join(map(sdl_label, sdl_libraries))}: scene, credits and exit 0;"
              f" screenshots in {artefacts}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
