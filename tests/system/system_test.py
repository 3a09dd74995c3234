#!/usr/bin/env python3
# Whole-system runs of the built intro with the real SDL 1.2 and libmikmod
# and the generated assets, under the conditions a user's machine may present.
# Each run starts in an empty scratch directory whose data/ links the
# libraries and the assets, so nothing the intro might write lands in the build;
# every scratch directory is made in one that goes when the test ends.
#
# usage: system_test.py window INTRO DATA_DIR ARTEFACT_DIR SDL_LIBRARY COMPAT_SDL_LIBRARY
#        system_test.py terminal INTRO DATA_DIR
#        system_test.py soundless INTRO DATA_DIR
#        system_test.py quiet_run_command PROJECT_DIR BUILD_DIR
# Prints what went wrong; exits 0, 1 on a fault, or 77 (ctest's skip) where
# the run cannot be shown on this machine (a test's result None).
import glob
import os
import pathlib
import shlex
import signal
import subprocess
import sys
import tempfile
import time

ASSETS = [f"data0{n}.dt" for n in range(1, 6)]
LIBRARIES = ["sdl.library", "mikmod.library"]
TITLE = "KOB recruitment intro"


# Polls `condition` until it returns a true value, which is returned, or
# for `timeout` seconds (then None).
def wait_for(condition, timeout, interval=0.1):
    deadline = time.monotonic() + timeout
    while not (value := condition()) and time.monotonic() < deadline:
        time.sleep(interval)
    return value or None


def run_directory(data_dir, names=ASSETS + LIBRARIES, sdl_library=None):
    path = tempfile.mkdtemp()
    os.mkdir(f"{path}/data")
    for name in names:
        target = sdl_library if name == "sdl.library" and sdl_library else f"{data_dir}/{name}"
        os.symlink(os.path.realpath(target), f"{path}/data/{name}")
    return path


# The intro started in `directory`, with PWD naming `libraries` (default:
# the same) and no media or sound driver forced; `environment` adds
# variables, or removes them with None.
def start_intro(arguments, directory, libraries=None, **environment):
    env = {**os.environ, "PWD": libraries or directory, "SDL_VIDEODRIVER": None, "SDL_AUDIODRIVER": None, **environment}
    return subprocess.Popen(arguments, cwd=directory, env={name: value for name, value in env.items() if value is not None},
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")


# Repeats `end` (a key press, a signal) until the run ends: one may fall
# in the paced intro or be lost on a busy machine. Returns the faults.
def ended_with_zero(run, end, timeout=60):
    if not wait_for(lambda: end() or run.poll() is not None, timeout, interval=1):
        run.kill()
        return ["the intro did not end"]
    return [] if run.returncode == 0 else [f"exit status {run.returncode}"]


def xdotool(display, *arguments):
    return subprocess.run(["xdotool", *arguments], env=dict(os.environ, DISPLAY=display),
                          capture_output=True, text=True, timeout=30).stdout.split()


# The root window's pixels as RGB bytes, or None while all are black (the
# root's colour); the picture is kept in `path`.
def screenshot(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", path], check=True, timeout=30)
    picture = subprocess.run(["convert", path, "-depth", "8", "RGB:-"], check=True, capture_output=True, timeout=30).stdout
    return picture if any(picture) else None


# A virtual X server with a black root on a display number it finds free
# itself, and says once it listens. Without -noreset it would reset whenever
# a client such as xdotool leaves, and refuse the intro meanwhile.
def start_xvfb():
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-br", "-noreset", "-nolisten", "tcp", "-screen", "0",
                               "640x480x24"], pass_fds=[write], stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as said:
        return server, f":{said.readline().strip()}"


# One run under its own Xvfb: a window with the intro's title shows a
# picture that is not blank and changes, and Escape (windowed) or SIGTERM
# (full screen, where the media library would otherwise take it) ends the
# run with status 0.
def window_run(intro, data_dir, sdl_library, artefacts, mode):
    name = f"{'sdl12-compat' if 'sdl12-compat' in sdl_library else 'sdl-1.2.15'}-{mode}"
    shot = f"{artefacts}/{name}.png"
    server, display = start_xvfb()
    directory = run_directory(data_dir, sdl_library=sdl_library)
    run = start_intro([intro] + (["windowed"] if mode == "windowed" else []), directory, DISPLAY=display)
    try:
        if not wait_for(lambda: run.poll() is not None or xdotool(display, "search", "--name", f"^{TITLE}$"), 60) \
                or run.poll() is not None:
            run.kill()
            return [f"{name}: no window titled {TITLE!r} appeared; the intro said {run.communicate()!r}"]
        first = wait_for(lambda: screenshot(display, shot), 60)
        if not first or not wait_for(lambda: screenshot(display, shot) not in (None, first), 30):
            return [f"{name}: the picture is {'blank' if not first else 'still'} ({shot})"]

        def press_escape():  # a press, and its release in a later frame: else it would not count
            xdotool(display, "mousemove", "320", "240", "search", "--name", f"^{TITLE}$", "windowfocus", "%1",
                    "keydown", "Escape", "sleep", "0.3", "keyup", "Escape")

        end = press_escape if mode == "windowed" else lambda: run.send_signal(signal.SIGTERM)
        return [f"{name}: {fault}" for fault in ended_with_zero(run, end)]
    finally:
        run.kill()
        run.wait()
        server.terminate()
        server.wait()


# The real X window, windowed and full screen, with each SDL library
# given (SDL 1.2.15 itself, the compatibility library over SDL 2). Now and
# then SDL cannot open a freshly started server and the intro ends with its
# display message; such a start is retried on a new server.
def window(intro, data_dir, artefacts, *sdl_libraries):
    os.makedirs(artefacts, exist_ok=True)
    faults = [] if len(sdl_libraries) == 2 else [f"two SDL libraries wanted, not {sdl_libraries}"]
    for library in sdl_libraries:
        for mode in ("windowed", "fullscreen"):
            for _ in range(3):
                found = window_run(intro, data_dir, library, artefacts, mode)
                if not any("appeared" in fault for fault in found):
                    break
            faults += found
    return faults


# An X display that cannot be reached, as over ssh with a display that
# is gone: SDL falls back to colour ASCII in the terminal (a tmux pane). The
# scene fills the band between the divider lines (terminal rows 16..30,
# blank during the paced intro), Escape ends the run with status 0, and
# the intro says why the picture went to the terminal.
def terminal(intro, data_dir):
    number = next(n for n in range(4242, 5000) if not glob.glob(f"/tmp/.X{n}-lock") + glob.glob(f"/tmp/.X11-unix/X{n}"))
    directory = pathlib.Path(run_directory(data_dir))
    environment = dict(os.environ, PWD=str(directory), DISPLAY=f":{number}", TERM=os.environ.get("TERM", "xterm"))

    def tmux(*arguments):  # on a server of its own, with one pane
        return subprocess.run(["tmux", "-L", f"intro-terminal-{os.getpid()}", "-f", "/dev/null", *arguments],
                              env=environment, capture_output=True, text=True).stdout

    def read(name):  # what the shell in the pane wrote to `name`
        return (directory / name).read_text(errors="replace") if (directory / name).exists() else ""

    try:
        tmux("new-session", "-d", "-x", "100", "-y", "40", "-c", str(directory),
             f"{shlex.quote(intro)} 2>errors; echo $? >status")
        band = lambda: "".join(tmux("capture-pane", "-p").split("\n")[15:30]).replace(" ", "")
        if not wait_for(lambda: len(band()) > 100 * 15 * 8 // 10, 60, interval=0.2):
            return ["no scene drawn in the terminal; the screen was:", tmux("capture-pane", "-p")]
        if not wait_for(lambda: tmux("send-keys", "Escape") + read("status"), 60, interval=2):
            return ["the intro did not end after Escape"]
        code, said = read("status").strip(), read("errors")
        why = f"The X display :{number} could not be reached, so the intro was drawn in the terminal"
        return ([] if code == "0" else [f"exit status {code}"]) + \
            ([] if why in said else [f"standard error does not say why: {said!r}"])
    finally:
        tmux("kill-server")


# No sound device: the intro takes the silent driver, and the music thread
# plays the module through the scene; an interrupt ends it with status 0.
# Standard error holds at most the intro's one line. The working directory
# (the assets), PWD's directory (the libraries) and HOME, also the runtime
# directory, are separate and stay empty: a disk-writing sound driver would
# leave a file in the first, a probe of the PulseAudio client would make
# ~/.config/pulse.
def soundless(intro, data_dir):
    # What the intro looks for, but for what HOME and the runtime directory (both empty here) may hold.
    if any(glob.glob(path) for path in ("/dev/snd/pcmC*p", "/dev/dsp", "/run/pulse/native", "/etc/asound.conf")):
        print("this machine has a sound device; the silent fallback cannot be shown here")
        return None
    working, libraries, home = run_directory(data_dir, ASSETS), run_directory(data_dir, LIBRARIES), tempfile.mkdtemp()
    listing = lambda: sorted(glob.glob("**", root_dir=tempfile.gettempdir(), recursive=True, include_hidden=True))
    before = listing()
    run = start_intro([intro], working, libraries=libraries, SDL_VIDEODRIVER="dummy", DISPLAY=None, HOME=home,
                      XDG_RUNTIME_DIR=home, PULSE_SERVER=None)
    # The main, clock and music threads: the silent driver starts none of its own.
    scene = wait_for(lambda: run.poll() is not None or len(glob.glob(f"/proc/{run.pid}/task/*")) == 3, 60)
    faults = [] if scene and run.poll() is None else ["the scene with its music thread never started"]
    time.sleep(1)  # the music plays a while
    faults += ended_with_zero(run, lambda: run.send_signal(signal.SIGINT))
    output, errors = run.communicate()
    if output or errors not in ("", "No sound device: the intro plays without sound\n"):
        faults.append(f"more output than the intro's one line: {output[:500]!r} {errors[:500]!r}")
    return faults + ([] if listing() == before else [f"the run wrote files: {sorted(set(listing()) - set(before))}"])


# ./run-intro.sh on a built tree says nothing of the build: the intro's
# usage line, naming the command typed, comes first and alone.
def quiet_run_command(project, build):
    run = subprocess.run(["./run-intro.sh", "Windowed"], cwd=project, env=dict(os.environ, INTRO_BUILD_DIR=build),
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    expected = (2, "usage: ./run-intro.sh [windowed]\n")
    return [] if (run.returncode, run.stdout) == expected else [f"got {(run.returncode, run.stdout)!r}, not {expected!r}"]


if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix="intro-system-") as scratch:
        tempfile.tempdir = scratch  # where every mkdtemp() above makes its directory
        faults = globals()[sys.argv[1]](*map(os.path.abspath, sys.argv[2:]))
    if faults is not None:
        print(*faults or [f"{sys.argv[1]}: passed"], sep="\n")
    sys.exit(77 if faults is None else 1 if faults else 0)
