#!/usr/bin/env python3
"""A whole run with the real libmikmod on a machine without a sound device,
and with the built assets and module: the intro takes the silent driver, the
module loads and the music thread plays it through the scene, an interrupt
ends the scene and the run ends with exit status 0.

The run is quiet: its standard error holds at most the intro's one line that
it plays without sound (no line of the sound libraries' probing), and it
writes no file. The working directory (holding the assets in data/), the
directory named by PWD (holding the libraries in data/) and HOME are
separate, start with nothing else in them, and end as they started. A
disk-writing sound driver would leave its file in the working directory; a
probe of the PulseAudio client would make ~/.config/pulse.

usage: soundless_run.py INTRO DATA_DIR
"""
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile

from system_support import ASSET_NAMES, LIBRARY_NAMES, SKIPPED, RunDirectory, intro_environment, wait_for

# The main thread, the clock thread and the music thread: the silent driver
# starts no thread of its own, and without a module there is no scene.
SCENE_THREADS = 3
QUIET_LINE = "No sound device: the intro plays without sound\n"


def sound_device_present():
    """What the intro itself looks for before it lets the music library probe."""
    runtime = os.environ.get("XDG_RUNTIME_DIR") or f"/run/user/{os.getuid()}"
    return bool(glob.glob("/dev/snd/pcmC*p") or os.path.exists("/dev/dsp")
                or os.path.exists(f"{runtime}/pulse/native") or os.path.exists(f"{runtime}/pipewire-0")
                or os.path.exists("/run/pulse/native") or os.path.exists("/etc/asound.conf")
                or os.environ.get("PULSE_SERVER"))


def thread_count(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/task"))
    except FileNotFoundError:
        return 0


def main():
    intro, data_dir = (os.path.abspath(argument) for argument in sys.argv[1:3])
    if sound_device_present():
        print("this machine has a sound device; the silent fallback cannot be shown here")
        return SKIPPED
    working = RunDirectory(data_dir, ASSET_NAMES)
    libraries = RunDirectory(data_dir, LIBRARY_NAMES)
    home = tempfile.mkdtemp(prefix="intro-home-")
    before = (working.listing(), libraries.listing(), [])
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        run = subprocess.Popen([intro], cwd=working.path, stdout=out, stderr=err,
                               env=intro_environment(libraries.path, SDL_VIDEODRIVER="dummy", DISPLAY=None,
                                                     HOME=home))
        faults = []
        try:
            if not wait_for(lambda: thread_count(run.pid) == SCENE_THREADS or run.poll() is not None, 60):
                faults.append("the scene with its music thread never started")
            elif run.poll() is not None:
                faults.append(f"the intro ended before its scene, status {run.returncode}")
            else:
                wait_for(lambda: run.poll() is not None, 1)  # let the music play a while
                # Every interrupt after the first falls in the fades or the
                # credits, where it is ignored.
                ended = wait_for(lambda: run.send_signal(signal.SIGINT) or run.poll() is not None, 60,
                                 interval=0.5)
                if not ended:
                    faults.append("the intro did not end after the interrupt")
                elif run.returncode != 0:
                    faults.append(f"exit status {run.returncode}")
        finally:
            if run.poll() is None:
                run.kill()
                run.wait()
        out.seek(0)
        err.seek(0)
        output, errors = out.read().decode(errors="replace"), err.read().decode(errors="replace")
    if output:
        faults.append(f"unexpected standard output: {output[:500]!r}")
    if errors not in ("", QUIET_LINE):
        faults.append(f"standard error holds more than the intro's line: {errors[:500]!r}")
    after = (working.listing(), libraries.listing(), sorted(os.listdir(home)))
    if after != before:
        new = [name for old, now in zip(before, after) for name in sorted(set(now) - set(old))]
        faults.append(f"the run wrote files: {new}")
    working.remove()
    libraries.remove()
    shutil.rmtree(home, ignore_errors=True)
    for fault in faults:
        print(fault)
    if not faults:
        print("silent music through the scene, exit 0, and no file written")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
