#!/usr/bin/env python3
# Whole-system runs of the built intro with the real SDL 1.2 and libmikmod
# and the generated assets, under the conditions a user's machine may present,
# and the project's scripts run on the built tree.
# Each run starts in an empty scratch directory whose data/ links the
# libraries and the assets, so nothing the intro might write lands in the build;
# every scratch directory is made in one that goes when the test ends.
#
# usage: system_test.py PROJECT_DIR BUILD_DIR INTRO DATA_DIR SDL_LIBRARY COMPAT_SDL_LIBRARY TEST
#   (absolute paths: the runs start in scratch directories)
#   TEST: window, terminal, quiet_run_command, recording or i386_setup_refusal
# Prints what went wrong and exits 1, or exits 0.
import glob
import os
import pathlib
import shlex
import subprocess
import sys
import tempfile
import time

TITLE = "KOB recruitment intro"


# Polls `condition` until it returns a true value, which is returned, or
# for `timeout` seconds (then None).
def wait_for(condition, timeout, interval=0.1):
    deadline = time.monotonic() + timeout
    while not (value := condition()) and time.monotonic() < deadline:
        time.sleep(interval)
    return value or None


# No fault when `found` is `wanted`, else the one that says so.
def expect(what, found, wanted):
    return [] if found == wanted else [f"{what}: {found!r}, not {wanted!r}"]


# A scratch directory whose data/ links what the data directory holds that
# matches `pattern` (the media library from `sdl_library` if given).
def run_directory(pattern="*", sdl_library=None):
    path = tempfile.mkdtemp()
    os.mkdir(f"{path}/data")
    for target in glob.glob(f"{DATA_DIR}/{pattern}"):
        name = os.path.basename(target)
        os.symlink(sdl_library if name == "sdl.library" and sdl_library else target, f"{path}/data/{name}")
    return path


# A script of the project run from its directory on the build: its status
# and all it said.
def script(command, *arguments, **environment):
    run = subprocess.run([f"./{command}", *arguments], cwd=PROJECT, env=dict(os.environ, INTRO_BUILD_DIR=BUILD,
                         **environment), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return run.returncode, run.stdout


# The root window's pixels as RGB bytes, or None while all are black (the
# root's colour); the picture is kept in `path`.
def screenshot(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", path], check=True, timeout=30)
    picture = subprocess.run(["convert", path, "-depth", "8", "RGB:-"], check=True, capture_output=True).stdout
    return picture if any(picture) else None


# One run under its own Xvfb: a window with the intro's title shows a
# picture that is not blank and changes, and Escape (windowed) or SIGTERM
# (full screen, where the media library would otherwise take it) ends the
# run with status 0. Now and then SDL cannot open a freshly started server
# and the intro ends with its display message; such a start is retried on a
# new server.
def window_run(sdl_library, mode, tries=3):
    name = f"{'sdl12-compat' if 'sdl12-compat' in sdl_library else 'sdl-1.2.15'}-{mode}"
    shot = f"{BUILD}/artefacts/{name}.png"
    # A black root on a display number the server finds free itself, and
    # writes on its standard output once it listens. Without -noreset it
    # would reset whenever a client such as xdotool leaves, and refuse the
    # intro meanwhile.
    server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-br", "-noreset", "-nolisten", "tcp", "-screen", "0",
                               "640x480x24"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    display = f":{server.stdout.readline().strip()}"
    xdotool = lambda *arguments: subprocess.run(["xdotool", *arguments], env=dict(os.environ, DISPLAY=display),
                                                capture_output=True, text=True, timeout=30).stdout.split()
    directory = run_directory(sdl_library=sdl_library)
    # What the intro says goes to the test's own output.
    run = subprocess.Popen([INTRO] + (["windowed"] if mode == "windowed" else []), cwd=directory,
                           env=dict(os.environ, PWD=directory, DISPLAY=display))
    try:
        if not wait_for(lambda: run.poll() is not None or xdotool("search", "--name", f"^{TITLE}$"), 60) \
                or run.poll() is not None:
            run.kill()
            return window_run(sdl_library, mode, tries - 1) if tries > 1 else [
                f"{name}: no window titled {TITLE!r} appeared (what the intro said is above)"]
        first = wait_for(lambda: screenshot(display, shot), 60)
        if not first or not wait_for(lambda: screenshot(display, shot) not in (None, first), 30):
            return [f"{name}: the picture is {'blank' if not first else 'still'} ({shot})"]
        # Escape pressed, and released in a later frame (else it would not count), or SIGTERM.
        end = run.terminate if mode == "fullscreen" else lambda: xdotool("mousemove", "320", "240", "search", "--name",
              f"^{TITLE}$", "windowfocus", "%1", "keydown", "Escape", "sleep", "0.3", "keyup", "Escape")
        # Repeated until the run ends: one may fall in the paced intro or be lost on a busy machine.
        wait_for(lambda: end() or run.poll() is not None, 60, interval=1)
        return expect(f"{name}: the exit status (None: the intro did not end)", run.poll(), 0)
    finally:
        run.kill()
        run.wait()
        server.terminate()
        server.wait()


# The real X window, windowed and full screen, with each SDL library
# (SDL 1.2.15 itself, the compatibility library over SDL 2).
def window():
    os.makedirs(f"{BUILD}/artefacts", exist_ok=True)
    modes = ("windowed", "fullscreen")
    return [fault for library in SDL_LIBRARIES for mode in modes for fault in window_run(library, mode)]


# An X display that cannot be reached, as over ssh with a display that
# is gone: SDL falls back to colour ASCII in the terminal (a tmux pane). The
# scene fills the band between the divider lines (terminal rows 16..30,
# blank during the paced intro), Escape ends the run with status 0, and
# the intro says why the picture went to the terminal.
# Where there is no sound device, the run shows the silent fallback too: the
# intro says so, and the music thread plays the module through the scene
# (the main, clock and music threads: the silent driver starts none of its
# own). The working directory (the assets), PWD's directory (the libraries)
# and HOME, also the runtime directory, are separate and stay empty: a
# disk-writing sound driver would leave a file in the first, a probe of the
# PulseAudio client would make ~/.config/pulse.
def terminal():
    number = next(n for n in range(4242, 5000) if not glob.glob(f"/tmp/.X{n}-lock") + glob.glob(f"/tmp/.X11-unix/X{n}"))
    # What the intro looks for, but for what HOME and the runtime directory (both empty here) may hold.
    silent = not any(map(glob.glob, ("/dev/snd/pcmC*p", "/dev/dsp", "/run/pulse/native", "/etc/asound.conf")))
    working, libraries, home = run_directory("*.dt"), run_directory("*.library"), tempfile.mkdtemp()
    said = pathlib.Path(tempfile.gettempdir(), "said")  # the intro's standard error, then its exit status
    listing = lambda: set(glob.glob("**", root_dir=tempfile.gettempdir(), recursive=True, include_hidden=True))
    before = listing()
    environment = dict(os.environ, DISPLAY=f":{number}", HOME=home, XDG_RUNTIME_DIR=home)  # the pane has its TERM

    # tmux on a server of its own, with one pane.
    tmux = lambda *arguments: subprocess.run(["tmux", "-L", f"intro-terminal-{os.getpid()}", "-f", "/dev/null",
                                              *arguments], env=environment, capture_output=True, text=True).stdout

    try:
        tmux("new-session", "-d", "-x", "100", "-y", "40", "-c", working,  # the shell would set PWD to the working one
             f"PWD={shlex.quote(libraries)} {shlex.quote(INTRO)} 2>{said}; echo exit status $? >>{said}")
        band = lambda: "".join(tmux("capture-pane", "-p").split("\n")[15:30]).replace(" ", "")
        if not wait_for(lambda: len(band()) > 100 * 15 * 8 // 10, 60, interval=0.2):
            return ["no scene drawn in the terminal; the screen was:", tmux("capture-pane", "-p")]
        shell = tmux("display-message", "-p", "#{pane_pid}").strip()
        intro = pathlib.Path(f"/proc/{shell}/task/{shell}/children").read_text().strip()  # the pane's one child
        scene = not silent or wait_for(lambda: len(glob.glob(f"/proc/{intro}/task/*")) == 3, 10)
        faults = [] if scene else ["the scene with its music thread never started"]
        wait_for(lambda: tmux("send-keys", "Escape") + said.read_text().partition("exit status")[1], 60, interval=2)
        why = f"The X display :{number} could not be reached, so the intro was drawn in the terminal\n"
        sound = "No sound device: the intro plays without sound\n" if silent else ""
        faults += expect("what the intro said, then its exit status", said.read_text(), f"{sound}{why}exit status 0\n")
        return faults + expect("the files written", sorted(listing() - before - {"said"}), [])
    finally:
        tmux("kill-server")


# ./run-intro.sh on a built tree says nothing of the build: the intro's
# usage line, naming the command typed, comes first and alone.
def quiet_run_command():
    return expect("status and output", script("run-intro.sh", "Windowed"), (2, "usage: ./run-intro.sh [windowed]\n"))


# ./record-intro.sh end to end: it runs the intro on the virtual clock through
# the capture libraries and ffmpeg, and ffprobe and ffmpeg read the result
# back. A 1 s scene on the simulated timeline: 1905 ms of paced intro, the
# scene, 10 ms until the worker threads' next tick, then the fades and the
# credits page; 4738 ms besides the scene in all. At 60 fps that is
# ceil(5.738 s × 60) + 1 = 346 frames of 48000 / 60 = 800 samples, and the
# scene starts at frame ceil(1.905 × 60) = 115.
def recording():
    record = lambda *options, **environment: script("record-intro.sh", "--no-build", "--intro", INTRO, *options,
                                                    **environment)
    # A file's streams as ffprobe sees them (codec, size, pixel format, rate and frame count, one line a stream), and
    # the file decoded as ffmpeg's `arguments` select and convert it; a file they cannot read fails the test.
    streams = lambda file: subprocess.check_output(["ffprobe", "-v", "error", "-show_entries", "stream=codec_name,"
                                                    "width,height,pix_fmt,r_frame_rate,sample_rate,nb_frames", "-of",
                                                    "csv=p=0", file], text=True)
    decoded = lambda file, *arguments: subprocess.check_output(["ffmpeg", "-v", "error", "-i", file, *arguments, "-"])

    directory = tempfile.mkdtemp()
    video, busy_video = f"{directory}/run.mkv", f"{directory}/busy.mkv"
    made = record("--seconds", "1", "--lossless", "-o", video)
    busy_loop = subprocess.Popen(["sh", "-c", "while :; do :; done"])  # keeps the other core busy
    busy = record("--seconds", "1", "--lossless", "-o", busy_video)
    busy_loop.kill()
    mp4 = record("--seconds", "1", "--fps", "30", "--scale", "2", "-o", f"{directory}/intro.mp4")
    if (made[0], busy[0], mp4[0]) != (0, 0, 0):
        return ["a recording failed:", made[1], busy[1], mp4[1]]
    faults = expect("the lossless streams", streams(video), "ffv1,640,480,bgr0,60/1,N/A\nflac,48000,0/0,N/A\n")
    checksums = lambda file: decoded(file, "-map", "0:v", "-map", "0:a", "-f", "framemd5")
    faults += expect("the one made on a busy machine is the same", checksums(video) == checksums(busy_video), True)
    # The background first lights the left edge (the paced intro lights at
    # most its divider rows there) in the frame where the music starts; the
    # music stops when the scene ends, and the fades and the credits are silent.
    edges = decoded(video, "-map", "0:v", "-vf", "crop=1:480:0:0", "-f", "rawvideo", "-pix_fmt", "gray")
    first_lit = next((n for n in range(len(edges) // 480) if edges[n * 480:n * 480 + 480].count(0) < 380), None)
    sound = memoryview(decoded(video, "-map", "0:a", "-f", "s16le", "-ac", "2")).cast("h")
    start, end = 2 * 1905 * 48, 2 * (1905 + 1000 + 10) * 48  # two channels of 48 samples a millisecond
    first_sound = next((n for n, value in enumerate(sound) if value), None)
    faults += expect("the frames, the first showing the scene, the sound's values, the first not 0, loud in the "
                     "scene, silent after it", (len(edges) / 480, first_lit, len(sound), first_sound,
                                                max(map(abs, sound[start:end])) > 1000, any(sound[end:])),
                     (346, 115, 2 * 346 * 800, start, True, False))
    # ceil(5.738 s × 30) + 1 = 174 pictures (the sound's frame count, the last field, is the encoder's).
    faults += expect("the MP4's streams", streams(f"{directory}/intro.mp4").rsplit(",", 1)[0],
                     "h264,1280,960,yuv420p,30/1,174\naac,48000,0/0")

    # Every failure says what is wrong and leaves no file behind; a refused
    # option (status 2) is followed by the usage.
    failing = pathlib.Path(f"{directory}/failing-intro")  # fails after opening its display: its texture is unusable
    failing.write_text(f"#!/bin/sh\nrm data/data04.dt && : > data/data04.dt && exec {shlex.quote(INTRO)}\n")
    failing.chmod(0o755)
    options, usage = ["--lossless", "--seconds", "1", "-o", f"{directory}/out.mkv"], "./record-intro.sh [--seconds N]"
    for arguments, environment, status, said in [
            (options, {"INTRO_CAPTURE_FFMPEG": "/nonexistent/ffmpeg"}, 1, ["Debian package ffmpeg"]),
            (["--lossless", "-o", f"{directory}/no/out.mkv"], {}, 1, [f"cannot write {directory}/no/out.mkv"]),
            (options + ["--intro", str(failing)], {}, 1, ["data04.dt", "the intro failed (exit status 1)"]),
            (options + ["--fps", "7"], {}, 2, ["--fps wants", usage]),
            (options + ["--scale", "5"], {}, 2, ["--scale wants", usage]),
            (options + ["--seconds", "1.005"], {}, 2, ["--seconds wants", usage]),
            (options + ["--frobnicate"], {}, 2, ["unknown option '--frobnicate'", usage]),
            (options + ["-o", "x.mp4"], {}, 2, ["x.mp4 would be an MP4 file", usage]),
            (["-o", f"{directory}/x.mkv"], {}, 2, ["which only --lossless writes", usage]),
            (["--help"], {}, 0, ["--scale K", usage])]:
        found = record(*arguments, **environment)
        if found[0] != status or not all(text in found[1] for text in said):
            faults.append(f"{arguments}: status {found[0]}, not {status}; it said {found[1]!r}")
    return faults + expect("the files left", sorted(os.listdir(directory)),
                           ["busy.mkv", "failing-intro", "intro.mp4", "run.mkv"])


# The i386 set-up where the i386 packages cannot be installed: dpkg knows no
# i386 package and apt-get can install nothing (stand-ins that fail, first on PATH). It
# stops with status 1 and a message naming every missing package, and leaves
# the x86-64 build, its data/ and any i386 build as they were (making none).
def i386_setup_refusal():
    stand_ins = tempfile.mkdtemp()
    for tool in ("dpkg-query", "dpkg", "apt-get"):
        os.symlink("/bin/false", f"{stand_ins}/{tool}")
    paths = lambda: [f"{BUILD}/CMakeCache.txt", *glob.glob(f"{PROJECT}/data/*"), *glob.glob(f"{PROJECT}/build-i386")]
    state = lambda: [(path, os.lstat(path).st_mtime_ns, os.lstat(path).st_size) for path in paths()]
    before = state()
    status, said = script("scripts/i386.sh", "setup", PATH=f"{stand_ins}:{os.environ['PATH']}")
    named = "cannot install g++-multilib libsdl1.2debian:i386 libmikmod3:i386." in said
    return expect(f"in {said!r}, the status, the packages named, nothing changed", (status, named, state() == before),
                  (1, True, True))


if __name__ == "__main__":
    PROJECT, BUILD, INTRO, DATA_DIR, *SDL_LIBRARIES, test = sys.argv[1:]
    for forced in ("SDL_VIDEODRIVER", "SDL_AUDIODRIVER", "PULSE_SERVER"):  # no media or sound driver or server forced
        os.environ.pop(forced, None)
    with tempfile.TemporaryDirectory(prefix="intro-system-") as scratch:
        tempfile.tempdir = scratch  # where every mkdtemp() above makes its directory
        faults = globals()[test]()
    sys.exit("\n".join(faults) or None)  # the faults on standard error, with status 1
