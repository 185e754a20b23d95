#!/usr/bin/env python3
"""Figures without a display and many recordings at once.

  bench/measure_batch.py build/quelvist [DISPLAY_OF_A_RUNNING_XVFB]

1. The private Xvfb's cost: a --snapshot run with DISPLAY unset (a private
   Xvfb is started and stopped) against the same run on a running Xvfb,
   10 runs each, alternating.
2. A study of 100 recordings of 30000 samples to PNG and to PDF, with --jobs 1 and
   --jobs 2, and with --jobs 2 and DISPLAY unset (one private Xvfb for
   all the runs) (the recordings are made once, in /tmp/quelvist-bench-batch)."""
import os
import statistics
import subprocess
import sys
import time

BINARY = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/quelvist")
DISPLAY = sys.argv[2] if len(sys.argv) > 2 else os.environ.get("DISPLAY", ":55")
TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools")
FOLDER = "/tmp/quelvist-bench-batch"
COUNT = 100


def timed(args, env):
    start = time.perf_counter()
    subprocess.run(args, env=env, check=True, stdout=subprocess.DEVNULL, cwd=FOLDER)
    return time.perf_counter() - start


def recordings():
    os.makedirs(os.path.join(FOLDER, "figures"), exist_ok=True)
    paths = []
    for n in range(COUNT):
        path = os.path.join(FOLDER, f"rec{n:03d}.txt")
        if not os.path.exists(path):
            subprocess.run([sys.executable, os.path.join(TOOLS, "make_recording.py"), "--rows",
                            "30000", "--seed", str(n + 1), "-o", path], check=True)
        paths.append(os.path.basename(path))
    return paths


paths = recordings()
headless = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
shown = dict(os.environ, DISPLAY=DISPLAY)
snapshot = [BINARY, "--snapshot", "one.png", "--size", "640x480", paths[0]]
timed(snapshot, shown)  # the files in the page cache
private, existing = [], []
for _ in range(10):
    private.append(timed(snapshot, headless))
    existing.append(timed(snapshot, shown))
print(f"--snapshot 640x480, 30000 samples, 10 runs each (median, min-max):")
for label, runs in (("DISPLAY unset (private Xvfb)", private), (f"DISPLAY={DISPLAY}", existing)):
    print(f"  {label:30s} {statistics.median(runs) * 1000:6.0f} ms"
          f"  ({min(runs) * 1000:.0f}-{max(runs) * 1000:.0f})")
print(f"  the private Xvfb costs {(statistics.median(private) - statistics.median(existing)) * 1000:.0f} ms a run")

# The server alone: started until it takes clients, then stopped and reaped.
alone = []
for _ in range(10):
    start = time.perf_counter()
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1280x1024x24", "-nolisten", "tcp", "-noreset"],
                              pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    os.read(read_end, 16)
    os.close(read_end)
    server.terminate()
    server.wait()
    alone.append(time.perf_counter() - start)
print(f"  Xvfb alone, started and stopped: {statistics.median(alone) * 1000:.0f} ms"
      f"  ({min(alone) * 1000:.0f}-{max(alone) * 1000:.0f})")

for ending in ("png", "pdf"):
    for jobs, env, label in ((1, shown, ""), (2, shown, ""), (2, headless, ", DISPLAY unset")):
        seconds = timed([BINARY, "--snapshot", f"figures/{{name}}.{ending}", "--size", "640x480",
                         "--jobs", str(jobs), *paths], env)
        print(f"{COUNT} recordings to {ending.upper()}, --jobs {jobs}{label}: {seconds:.1f} s "
              f"({seconds / COUNT * 1000:.0f} ms a recording)")
