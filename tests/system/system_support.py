"""Helpers shared by the whole-system runs of the intro with the real SDL 1.2
and the real libmikmod: a scratch directory laid out as the intro expects,
screenshots of an X display read back as pixels, and waiting for conditions.
"""
import os
import shutil
import subprocess
import tempfile
import time

ASSET_NAMES = ["data01.dt", "data02.dt", "data03.dt", "data04.dt", "data05.dt"]
LIBRARY_NAMES = ["sdl.library", "mikmod.library"]

# ctest's code for a test that cannot run here.
SKIPPED = 77


class RunDirectory:
    """An empty temporary directory whose data/ holds links to the built
    libraries and assets, so nothing the intro might write lands in the
    build tree."""

    def __init__(self, data_dir, names=ASSET_NAMES + LIBRARY_NAMES):
        self.path = tempfile.mkdtemp(prefix="intro-system-")
        os.mkdir(os.path.join(self.path, "data"))
        for name in names:
            os.symlink(os.path.realpath(os.path.join(data_dir, name)), os.path.join(self.path, "data", name))

    def listing(self):
        """Every path below the directory, as a sorted list."""
        found = []
        for root, directories, files in os.walk(self.path):
            for name in directories + files:
                found.append(os.path.relpath(os.path.join(root, name), self.path))
        return sorted(found)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


def intro_environment(directory, **extra):
    """The caller's environment with PWD naming `directory` and no sound or
    video driver forced; `extra` adds or, with None, removes variables."""
    environment = dict(os.environ, PWD=directory)
    for name in ("SDL_VIDEODRIVER", "SDL_AUDIODRIVER"):
        environment.pop(name, None)
    for name, value in extra.items():
        if value is None:
            environment.pop(name, None)
        else:
            environment[name] = value
    return environment


def wait_for(condition, timeout, interval=0.1):
    """Polls `condition` until it returns a true value, which is returned, or
    until `timeout` seconds have passed (then None)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            return None
        time.sleep(interval)


class Screenshot:
    """A PNG of an X display's root window with its pixels as (r, g, b)."""

    def __init__(self, display, path):
        self.path = path
        subprocess.run(["import", "-display", display, "-window", "root", path],
                       check=True, capture_output=True, timeout=30)
        raw = subprocess.run(["convert", path, "-depth", "8", "RGB:-"],
                             check=True, capture_output=True, timeout=30).stdout
        size = subprocess.run(["identify", "-format", "%w %h", path],
                              check=True, capture_output=True, text=True, timeout=30).stdout
        self.width, self.height = (int(v) for v in size.split())
        self._raw = raw

    def at(self, x, y):
        offset = 3 * (y * self.width + x)
        return tuple(self._raw[offset:offset + 3])

    def count(self, left, top, right, bottom, predicate):
        """Pixels in columns left..right-1 of rows top..bottom-1 for which
        `predicate((r, g, b))` holds."""
        return sum(1 for y in range(top, bottom) for x in range(left, right) if predicate(self.at(x, y)))
