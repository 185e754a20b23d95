#!/usr/bin/env python3
"""Measures the real viewer: the time from process start to exit with
--snapshot (which draws the first frame, writes it and exits, asking nothing)
and its peak resident memory, next to a bare freeglut program, and the peak
resident memory of a running viewer with 50000 rows while it turns and
replays. Needs an X server in DISPLAY (xvfb-run works).

    xvfb-run -a -s "-screen 0 1280x1024x24" bench/measure_viewer.py build/quelvist
"""
import os
import statistics
import subprocess
import sys
import time

from viewer_setup import HERE, LARGE as big
from harness import BINARY, Viewer

# A recording of one sample: the program's own cost (a file without samples
# gives no snapshot).
empty = "/tmp/quelvist-bench-one-sample.txt"
with open(empty, "w") as f:
    f.write("Export\nTime\tx\n" + "\t".join(["0"] * 15) + "\n")
bare = os.path.join(os.path.dirname(BINARY), "bench", "bare_freeglut")


def run(command):
    """Wall time in ms and peak resident memory in KB of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=dict(os.environ, NO_AT_BRIDGE="1"))
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit(f"{command} failed")
    return (time.perf_counter() - start) * 1000, usage.ru_maxrss


# Start to exit, the first frame drawn and written, asking nothing; runs of the
# cases interleaved, so that a change in the machine's load touches them alike.
cases = [("bare freeglut program", [bare])]
for name, path in (("one sample", empty), ("30000 samples", os.path.join(HERE, "..", "data", "test.txt")),
                   ("50000 samples", big)):
    for size in ("300x300", "1920x1080"):
        cases.append((f"{name}, {size}",
                      [BINARY, "--snapshot", "/tmp/quelvist-first-frame.png", "--size", size, path]))
runs = {name: [] for name, _ in cases}
for _ in range(11):
    for name, command in cases:
        runs[name].append(run(command))
for name, _ in cases:
    times = [t for t, _ in runs[name]]
    peak = max(m for _, m in runs[name])
    print(f"{name}: start to exit median {statistics.median(times):.0f} ms "
          f"(min {min(times):.0f}, max {max(times):.0f}, 11 runs), peak RSS {peak} KB")


def memory(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    return fields["VmHWM"], fields["VmRSS"]


v = Viewer([big])
if v.start_windowed() is None:
    sys.exit("the viewer did not start")
print("50000 rows, just started: peak %s, now %s" % memory(v.proc.pid))
v.key("F6", "F7", "F8", "F3", "a")
time.sleep(20)
print("after 20 s turning about three axes with the replay and difference lines on: "
      "peak %s, now %s" % memory(v.proc.pid))
v.key("Escape")
v.wait_exit()
v.stop()
