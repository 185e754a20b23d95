#!/usr/bin/env python3
"""The viewer's frames in GLUT's own loop: the CPU a still view uses (the
drum turning) over 20 s, and the frames a second while the view turns
(F8), both with 50000 samples, in a 300x300 window and full screen.
The screen's size is the full-screen size (1920x1080 wants such an Xvfb).

    Xvfb :78 -screen 0 1920x1080x24 -nolisten tcp -noreset &
    DISPLAY=:78 bench/measure_frames.py build/quelvist [seconds]
"""
import os
import sys
import time

from viewer_setup import EXTRA_ARGUMENTS, LARGE as big
from harness import Viewer, geometry

seconds = float(EXTRA_ARGUMENTS[0]) if EXTRA_ARGUMENTS else 20


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def frames(v):
    return sum(line.startswith("frame") for line in v.trace.read())


def measure(v, span):
    f0, c0, t0 = frames(v), cpu_seconds(v.proc.pid), time.perf_counter()
    time.sleep(span)  # the span measured, not a wait for the program
    f1, c1, t1 = frames(v), cpu_seconds(v.proc.pid), time.perf_counter()
    return (f1 - f0) / (t1 - t0), 100 * (c1 - c0) / (t1 - t0)


for full in (False, True):
    # -f: full screen without the question (its default answer is No).
    v = Viewer(["-f", big] if full else [big])
    if v.start_windowed() is None:
        sys.exit("the viewer did not start")
    shown = geometry(v.window)
    size = f"{shown['WIDTH']}x{shown['HEIGHT']}"  # as the window manager gave it
    time.sleep(2)  # past the first frames and the menus
    rate, cpu = measure(v, seconds)
    print(f"{size}, 50000 samples, still (drum turning): {cpu:.1f} % of a core, "
          f"{rate:.1f} frames/s over {seconds:.0f} s", flush=True)
    v.key("F8")
    time.sleep(1)
    rate, cpu = measure(v, min(seconds, 10))
    lights = sum(line.startswith("light frame") for line in v.trace.read())
    print(f"{size}, 50000 samples, turning (F8): {rate:.1f} frames/s, {cpu:.0f} % of a core "
          f"({lights} light frames in all)", flush=True)
    v.key("Escape")
    v.wait_exit(30)
    v.stop()
