#!/usr/bin/env python3
# Whole-system runs of the built intro with the real SDL 1.2 and libmikmod
# and the generated assets, under the conditions a user's machine may present.
# Each run starts in an empty temporary directory whose data/ links the
# libraries and the assets, so nothing the intro might write lands in the build.
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
import random
import shlex
import shutil
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
    path = tempfile.mkdtemp(prefix="intro-system-")
    os.mkdir(f"{path}/data")
    for name in names:
        target = sdl_library if name == "sdl.library" and sdl_library else f"{data_dir}/{name}"
        os.symlink(os.path.realpath(target), f"{path}/data/{name}")
    return path


def listing(directory):
    return sorted(os.path.relpath(os.path.join(root, name), directory)
                  for root, folders, files in os.walk(directory) for name in folders + files)


# The intro started in `directory`, with PWD naming `libraries` (default:
# the same) and no media or sound driver forced; `environment` adds
# variables, or removes them with None.
def start_intro(arguments, directory, libraries=None, **environment):
    env = {**os.environ, "PWD": libraries or directory, "SDL_VIDEODRIVER": None, "SDL_AUDIODRIVER": None, **environment}
    return subprocess.Popen(arguments, cwd=directory, env={name: value for name, value in env.items() if value is not None},
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


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


# The root window's pixels as RGB bytes; the picture is kept in `path`.
def screenshot(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", path], check=True, timeout=30)
    return subprocess.run(["convert", path, "-depth", "8", "RGB:-"], check=True, capture_output=True,
                          timeout=30).stdout


# A virtual X server with a black root on a free display number of its own,
# taken at random (low numbers are the likeliest to be in use); its lock file
# keeps other servers off it. Without -noreset it would reset when the
# probing client leaves, and refuse the intro meanwhile.
def start_xvfb():
    for number in random.sample(range(100, 1000), 20):
        if glob.glob(f"/tmp/.X{number}-lock") + glob.glob(f"/tmp/.X11-unix/X{number}"):
            continue
        server = subprocess.Popen(["Xvfb", f":{number}", "-br", "-noreset", "-nolisten", "tcp", "-screen", "0",
                                   "640x480x24"], stderr=subprocess.DEVNULL)
        if wait_for(lambda: server.poll() is not None or xdotool(f":{number}", "getdisplaygeometry"), 30) \
                and server.poll() is None:
            return server, f":{number}"
        server.wait()  # taken meanwhile: another number
    raise RuntimeError("no X display number could be had")


# One run under its own Xvfb: a window with the intro's title shows a
# picture that is not blank and changes, and Escape (windowed) or SIGTERM
# (full screen, where the media library would otherwise take it) ends the
# run with status 0.
def window_run(intro, data_dir, sdl_library, artefacts, mode):
    name = f"{'sdl12-compat' if 'sdl12-compat' in sdl_library else 'sdl-1.2.15'}-{mode}"
    server, display = start_xvfb()
    directory = run_directory(data_dir, sdl_library=sdl_library)
    run = start_intro([intro] + (["windowed"] if mode == "windowed" else []), directory, DISPLAY=display)
    try:
        if not wait_for(lambda: run.poll() is not None or xdotool(display, "search", "--classname", "intro"), 60) \
                or run.poll() is not None:
            run.kill()
            return [f"{name}: no window appeared; the intro said {run.communicate()!r}"]
        shot = f"{artefacts}/{name}.png"

        def shown():  # a picture that is not blank: the root window is black
            picture = screenshot(display, shot)
            return picture if any(picture) else None

        first = wait_for(shown, 60)
        if not first or not wait_for(lambda: screenshot(display, shot) != first, 30):
            return [f"{name}: the picture is {'blank' if not first else 'still'} ({shot})"]
        # Looked up now: SDL 2 may replace the first window it showed.
        windows = {" ".join(xdotool(display, "getwindowname", window)): window
                   for window in xdotool(display, "search", "--classname", "intro")}
        if TITLE not in windows:
            return [f"{name}: the window's titles are {list(windows)!r}, not {TITLE!r}"]

        def press_escape():  # a press, and its release in a later frame: else it would not count
            for step in (["mousemove", "320", "240"], ["windowfocus", windows[TITLE]], ["keydown", "Escape"]):
                xdotool(display, *step)
            time.sleep(0.3)
            xdotool(display, "keyup", "Escape")

        end = press_escape if mode == "windowed" else lambda: run.send_signal(signal.SIGTERM)
        return [f"{name}: {fault}" for fault in ended_with_zero(run, end)]
    finally:
        if run.poll() is None:
            run.kill()
        run.wait()
        server.terminate()
        server.wait()
        shutil.rmtree(directory)


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
                if not any("no window appeared" in fault for fault in found):
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
    directory, socket, columns = run_directory(data_dir), f"intro-terminal-{os.getpid()}", 100
    status, errors = f"{directory}/status", f"{directory}/errors"

    def tmux(*arguments):
        return subprocess.run(["tmux", "-L", socket, *arguments], capture_output=True, text=True).stdout

    def escape_ends_it():
        tmux("send-keys", "-t", "intro", "Escape")
        return os.path.exists(status) and os.path.getsize(status) > 0

    command = f"{shlex.quote(intro)} 2>{errors}; echo $? >{status}"
    environment = dict(os.environ, PWD=directory, DISPLAY=f":{number}", TERM=os.environ.get("TERM", "xterm"))
    try:
        subprocess.run(["tmux", "-L", socket, "-f", "/dev/null", "new-session", "-d", "-s", "intro", "-x", str(columns),
                        "-y", "40", "-c", directory, command], env=environment, check=True)
        band = lambda: "".join(tmux("capture-pane", "-p", "-t", "intro").split("\n")[15:30]).replace(" ", "")
        if not wait_for(lambda: len(band()) > columns * 15 * 8 // 10, 60, interval=0.2):
            return ["no scene drawn in the terminal; the screen was:", tmux("capture-pane", "-p", "-t", "intro")]
        if not wait_for(escape_ends_it, 60, interval=2):
            return ["the intro did not end after Escape"]
        code, said = (pathlib.Path(path).read_text(errors="replace") for path in (status, errors))
        faults = [] if code.strip() == "0" else [f"exit status {code.strip()}"]
        why = f"The X display :{number} could not be reached, so the intro was drawn in the terminal"
        return faults + ([] if why in said else [f"standard error does not say why: {said!r}"])
    finally:
        tmux("kill-server")
        shutil.rmtree(directory)


# No sound device: the intro takes the silent driver, and the music thread
# plays the module through the scene; an interrupt ends it with status 0.
# Standard error holds at most the intro's one line. The working directory
# (the assets), PWD's directory (the libraries) and HOME are separate and
# stay empty: a disk-writing sound driver would leave a file in the first,
# a probe of the PulseAudio client would make ~/.config/pulse.
def soundless(intro, data_dir):
    runtime = os.environ.get("XDG_RUNTIME_DIR") or f"/run/user/{os.getuid()}"
    devices = glob.glob("/dev/snd/pcmC*p") + [path for path in ("/dev/dsp", f"{runtime}/pulse/native",
              f"{runtime}/pipewire-0", "/run/pulse/native", "/etc/asound.conf") if os.path.exists(path)]
    if devices or os.environ.get("PULSE_SERVER"):  # what the intro looks for before the music library probes
        print("this machine has a sound device; the silent fallback cannot be shown here")
        return None
    working, libraries, home = run_directory(data_dir, ASSETS), run_directory(data_dir, LIBRARIES), tempfile.mkdtemp()
    before = [listing(working), listing(libraries), []]
    run = start_intro([intro], working, libraries=libraries, SDL_VIDEODRIVER="dummy", DISPLAY=None, HOME=home)
    # The main, clock and music threads: the silent driver starts none of its own.
    scene = wait_for(lambda: run.poll() is not None or len(glob.glob(f"/proc/{run.pid}/task/*")) == 3, 60)
    faults = [] if scene and run.poll() is None else ["the scene with its music thread never started"]
    time.sleep(1)  # the music plays a while
    faults += ended_with_zero(run, lambda: run.send_signal(signal.SIGINT))
    output, errors = (stream.decode(errors="replace") for stream in run.communicate())
    if output or errors not in ("", "No sound device: the intro plays without sound\n"):
        faults.append(f"more output than the intro's one line: {output[:500]!r} {errors[:500]!r}")
    if [listing(working), listing(libraries), listing(home)] != before:
        faults.append(f"the run wrote files: {listing(working)} {listing(libraries)} {listing(home)}")
    for directory in (working, libraries, home):
        shutil.rmtree(directory)
    return faults


# ./run-intro.sh on a built tree says nothing of the build: the intro's
# usage line, naming the command typed, comes first and alone.
def quiet_run_command(project, build):
    run = subprocess.run(["./run-intro.sh", "Windowed"], cwd=project, env=dict(os.environ, INTRO_BUILD_DIR=build),
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    expected = (2, "usage: ./run-intro.sh [windowed]\n")
    return [] if (run.returncode, run.stdout) == expected else [f"got {(run.returncode, run.stdout)!r}, not {expected!r}"]


TESTS = {test.__name__: test for test in (window, terminal, soundless, quiet_run_command)}

if __name__ == "__main__":
    faults = TESTS[sys.argv[1]](*map(os.path.abspath, sys.argv[2:]))
    if faults is not None:
        print(*faults or [f"{sys.argv[1]}: passed"], sep="\n")
    sys.exit(77 if faults is None else 1 if faults else 0)
