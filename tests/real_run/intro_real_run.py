#!/usr/bin/env python3
"""Runs the built intro with the system's real SDL 1.2 (dummy video driver)
and real libmikmod on a machine that may have no display and no sound card:
the scene must reach its frame loop with the module loaded, an interrupt
must end it, and after the fades the process must exit with status 0.

usage: intro_real_run.py INTRO SDL_LIBRARY MIKMOD_LIBRARY
"""
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time

# The intro alone takes about 1.7 s of fixed delays; a run that is still
# going after this has passed it and is in the frame loop.
SECONDS_INTO_THE_LOOP = 4.0


def write_image(path, width, height, pixel):
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", width, height, 32))
        out.write(b"".join(struct.pack("<I", pixel(x, y)) for y in range(height) for x in range(width)))


def write_module(path):
    """A four-channel module: one 32-byte sample, one pattern, one note."""
    title = b"test".ljust(20, b"\0")
    sample_words = 16
    samples = b"tone".ljust(22, b"\0") + struct.pack(">HBBHH", sample_words, 0, 64, 0, sample_words)
    samples += b"".join(b"\0" * 22 + struct.pack(">HBBHH", 0, 0, 0, 0, 1) for _ in range(30))
    orders = bytes([1, 127]) + bytes(128)
    pattern = bytearray(64 * 4 * 4)
    pattern[0:4] = bytes([0x00, 0xD6, 0x10, 0x00])  # sample 1 at period 214, row 0, channel 0
    sample = bytes((i * 16) & 0xFF for i in range(2 * sample_words))
    with open(path, "wb") as out:
        out.write(title + samples + orders + b"M.K." + bytes(pattern) + sample)


def main():
    intro, sdl_library, mikmod_library = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as directory:
        data = os.path.join(directory, "data")
        os.mkdir(data)
        os.symlink(sdl_library, os.path.join(data, "sdl.library"))
        os.symlink(mikmod_library, os.path.join(data, "mikmod.library"))
        write_image(os.path.join(data, "data01.dt"), 64, 64, lambda x, y: 0xFF808080)
        write_image(os.path.join(data, "data02.dt"), 32, 32, lambda x, y: 0xFF808080)
        write_image(os.path.join(data, "data03.dt"), 200, 100,
                    lambda x, y: (0xFF000000 if (x // 10 + y // 10) % 2 else 0) | ((x * y) & 0xFFFFFF))
        write_image(os.path.join(data, "data04.dt"), 256, 256,
                    lambda x, y: 0xFF000000 | (x << 16) | (y << 8) | ((x ^ y) & 0xFF))
        write_module(os.path.join(data, "data05.dt"))

        environment = dict(os.environ, SDL_VIDEODRIVER="dummy", PWD=directory)
        environment.pop("DISPLAY", None)
        with open(os.path.join(directory, "output.txt"), "wb") as output:
            run = subprocess.Popen([intro], cwd=directory, env=environment, stdout=output, stderr=output)
            time.sleep(SECONDS_INTO_THE_LOOP)
            if run.poll() is not None:
                print(f"the intro ended by itself with status {run.returncode} before the interrupt")
                return 1
            run.send_signal(signal.SIGINT)
            try:
                status = run.wait(timeout=20)
            except subprocess.TimeoutExpired:
                run.kill()
                print("the intro did not end after the interrupt")
                return 1
        if status != 0:
            print(f"the intro exited with status {status}")
            print(open(os.path.join(directory, "output.txt"), "rb").read()[-2000:].decode(errors="replace"))
            return 1
    print("the intro ran into its frame loop, ended on the interrupt and exited with 0")
    return 0


if __name__ == "__main__":
    sys.exit(main())
