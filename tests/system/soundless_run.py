#!/usr/bin/env python3
"""A whole run with the real libmikmod on a machine without a sound device,
and with the built assets and module: the music library falls back to its
silent driver, the module loads and the music thread plays it through the
scene, an interrupt ends the scene and the run ends with exit status 0.

The same run must write no file: the working directory (holding the assets
in data/) and the directory named by PWD (holding the libraries in data/)
are separate, start with nothing else in them, and end as they started. A
disk-writing sound driver (libmikmod's WAV, AIFF or RAW writers) would leave
its file in the working directory. HOME is a scratch directory of its own:
while probing for a sound server, the PulseAudio client library links its
runtime directory under ~/.config/pulse, which is that library's doing.

usage: soundless_run.py INTRO DATA_DIR
"""
import glob
import os
import signal
import subprocess
import sys
import tempfile

from system_support import ASSET_NAMES, LIBRARY_NAMES, SKIPPED, RunDirectory, intro_environment, wait_for

# The main thread, the clock thread and the music thread: the silent driver
# starts no thread of its own, and without a module there is no scene.
SCENE_THREADS = 3


def sound_device_present():
    return bool(glob.glob("/dev/snd/pcm*") or glob.glob("/run/user/*/pulse/native")
                or os.path.exists("/run/pulse/native") or os.environ.get("PULSE_SERVER"))


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
    home = tempfile.TemporaryDirectory()
    before = (working.listing(), libraries.listing())
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        run = subprocess.Popen([intro], cwd=working.path, stdout=out, stderr=err,
                               env=intro_environment(libraries.path, SDL_VIDEODRIVER="dummy", DISPLAY=None,
                                                     HOME=home.name))
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
    if "No sound driver" in errors:
        faults.append("the silent driver was not started")
    after = (working.listing(), libraries.listing())
    if after != before:
        new = sorted(set(after[0]) - set(before[0])) + sorted(set(after[1]) - set(before[1]))
        faults.append(f"the run wrote files: {new}")
    working.remove()
    libraries.remove()
    home.cleanup()
    for fault in faults:
        print(fault)
    if not faults:
        print("silent music through the scene, exit 0, and no file written")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
