#!/usr/bin/env python3
"""Measures the real viewer: the time from process start to the first frame
(with --snapshot, which draws the first frame, writes it and exits, asking
nothing), and the peak resident memory of a running viewer with 50000 rows
while it turns and replays. Needs an X server in DISPLAY (xvfb-run works).

    xvfb-run -a -s "-screen 0 1280x1024x24" bench/measure_viewer.py build/quelvist
"""
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.argv = [sys.argv[0], sys.argv[1] if len(sys.argv) > 1 else "build/quelvist",
            os.path.join(HERE, "..", "data")]
from harness import BINARY, Viewer  # noqa: E402

big = "/tmp/quelvist-bench-50000.txt"
if not os.path.exists(big):
    subprocess.run([sys.executable, os.path.join(HERE, "..", "tools", "make_recording.py"),
                    "--rows", "50000", "-o", big], check=True)

for rows, path in ((30000, os.path.join(HERE, "..", "data", "test.txt")), (50000, big)):
    times = []
    for _ in range(10):
        start = time.perf_counter()
        subprocess.run([BINARY, "--snapshot", "/tmp/quelvist-first-frame.png", path], check=True,
                       env=dict(os.environ, NO_AT_BRIDGE="1"))
        times.append((time.perf_counter() - start) * 1000)
    print(f"start to first frame written, {rows} rows: median {statistics.median(times):.0f} ms "
          f"(min {min(times):.0f}, max {max(times):.0f}, 10 runs)")


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
