#!/usr/bin/env python3
"""Measures the replay in GLUT's loop with the real viewer, through its event
trace: ticks per second at the start of a 50000-sample replay and near its
end, the time a Page Down takes in a 300000-sample recording (key sent to
the first frame of the new page), and the time to export a 60-second movie and a 50000-sample one.
Needs an X server in DISPLAY and ffmpeg.

    bench/measure_replay.py build/quelvist
"""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.argv = [sys.argv[0], sys.argv[1] if len(sys.argv) > 1 else "build/quelvist",
            os.path.join(HERE, "..", "data")]
from harness import BINARY, DATA, Viewer, child_env, geometry, xdo  # noqa: E402


def recording(rows):
    path = f"/tmp/quelvist-bench-{rows}.txt"
    if not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(HERE, "..", "tools", "make_recording.py"),
                        "--rows", str(rows), "-o", path], check=True)
    return path


def rate(v, seconds, per_tick):
    """Ticks per second over seconds, from the samples the frames drew."""
    first, start = v.trace.latest_samples(), time.perf_counter()
    time.sleep(seconds)
    last, end = v.trace.latest_samples(), time.perf_counter()
    return (last - first) / per_tick / (end - start), first, last


# The window of 300x300 the viewer opens, and the whole screen (-f).
for options in ([], ["-f"]):
    v = Viewer([*options, recording(50000)])
    if v.start_windowed() is None:
        sys.exit("the viewer did not start")
    shown = geometry(v.window)
    size = f"{shown['WIDTH']}x{shown['HEIGHT']}"  # as the window manager gave it
    v.key("a")
    ticks, first, last = rate(v, 3, 1)
    print(f"{size}, 50000 samples, replay from {first} to {last}: {ticks:.0f} ticks/s")
    v.key(*["plus"] * 8)  # 256 samples a tick, to reach the end
    # Paused with 40 fast ticks to spare, slowed down, then on at 1 a tick.
    v.trace.wait_frame(lambda n: n > 40000, v.trace.mark(), timeout=600)
    v.key("space", *["minus"] * 8)
    v.key("space")
    ticks, first, last = rate(v, 5, 1)
    print(f"{size}, 50000 samples, replay from {first} to {last}: {ticks:.1f} ticks/s")
    v.key("Escape")
    v.wait_exit()
    v.stop()

v = Viewer([recording(300000)])
if v.start_windowed() is None:
    sys.exit("the viewer did not start")
xdo("windowfocus", "--sync", str(v.window))
for key in ("Page_Down", "Page_Down", "Page_Down", "Page_Up", "Page_Up"):
    mark = v.trace.mark()
    start = time.perf_counter()
    xdo("key", key)
    handled = v.trace.wait("key", mark)  # the page read, the curves rebuilt
    read = time.perf_counter()
    v.wait_frames_after(handled, 1)
    print(f"300000 samples, {key}: handled after {(read - start) * 1000:.0f} ms, "
          f"first frame of the page after {(time.perf_counter() - start) * 1000:.0f} ms")
v.key("Escape")
v.wait_exit()
v.stop()

for name, path, frames in (("the 60-second sample (30000 samples", os.path.join(DATA, "test.txt"), 1801),
                           ("a 50000-sample recording (100 s", recording(50000), 3001)):
    start = time.perf_counter()
    subprocess.run([BINARY, "--movie", "/tmp/quelvist-bench-movie.mp4", path],
                   check=True, env=child_env(), capture_output=True)
    took = time.perf_counter() - start
    print(f"movie of {name}, {frames} frames, 300x300, 30 fps): {took:.1f} s, "
          f"{frames / took:.0f} frames/s")
