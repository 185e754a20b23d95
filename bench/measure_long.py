#!/usr/bin/env python3
"""Hour-long recordings, measured with the real program: --report on
3,600,000 samples (data/test.txt repeated 120 times, Time running on: two
hours at 500 Hz, 315 MB) against awk reading the same file once, in the same
sitting; the viewer's first picture of that file (the question answered to
the first frame); End, Home and Go to time (key sent to the first frame of
the page shown). With a second program (an earlier build) the report and
the first picture are measured for it too. Needs an X server in DISPLAY.

    bench/measure_long.py build/quelvist [/tmp/before/build/quelvist]
"""
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
programs = [os.path.abspath(p) for p in sys.argv[1:] or ["build/quelvist"]]
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.argv = [sys.argv[0], programs[0], os.path.join(HERE, "..", "data")]
import harness  # noqa: E402
from harness import Viewer, child_env, xdo  # noqa: E402

ROWS = 3_600_000
PATH = "/tmp/quelvist-bench-3600000.txt"


def make_recording():
    """The shipped recording's rows again and again, each copy 60 s later."""
    if os.path.exists(PATH):
        return
    with open(os.path.join(HERE, "..", "data", "test.txt"), encoding="latin-1") as f:
        lines = f.read().splitlines()
    header = next(i for i, line in enumerate(lines) if line.startswith("Time"))
    rows = [line.split("\t") for line in lines[header + 1:]]
    with open(PATH + ".part", "w", encoding="latin-1") as out:
        out.write("\n".join(lines[:header + 1]) + "\n")
        for copy in range(ROWS // len(rows)):
            for fields in rows:
                time_ = float(fields[0].replace(",", ".")) + 60 * copy
                out.write(f"{time_:.3f}".replace(".", ",") + "\t" + "\t".join(fields[1:]) + "\n")
    os.rename(PATH + ".part", PATH)


def timed(command, runs=3):
    """The median wall time of runs, and the last run's output."""
    times, result = [], None
    for _ in range(runs):
        start = time.perf_counter()
        result = subprocess.run(command, capture_output=True, text=True, env=child_env())
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


make_recording()
viewer_only = os.environ.get("QUELVIST_BENCH_VIEWER_ONLY")
print(f"{ROWS} samples, {os.path.getsize(PATH) / 1e6:.0f} MB")
awk, _ = timed(["awk", "-F\t", "{s+=$4} END {print s}", PATH])
print(f"awk -F'\\t' '{{s+=$4}}': {awk:.2f} s (median of 3)")
for program in [] if viewer_only else programs:
    took, result = timed(["/usr/bin/time", "-f", "%M", program, "--report", PATH])
    memory = result.stderr.strip().splitlines()[-1]
    print(f"{program} --report: {took:.2f} s (median of 3), {int(memory) / 1024:.0f} MB at most")
awk_after, _ = timed(["awk", "-F\t", "{s+=$4} END {print s}", PATH])
print(f"awk again: {awk_after:.2f} s")


def first_picture(program):
    harness.BINARY = program
    v = Viewer([PATH])
    dialog = v.wait_dialog()
    start = time.perf_counter()
    v.answer(dialog, "Escape")
    v.wait_window(120)
    took = time.perf_counter() - start
    return v, took


for program in reversed(programs):
    v, took = first_picture(program)
    print(f"{program}: first picture {took * 1000:.0f} ms after the question was answered")
    if program != programs[0]:
        v.key("Escape")
        v.wait_exit()
        v.stop()
        continue
    xdo("windowfocus", "--sync", str(v.window))
    for keys, name in ((["End"], "End"), (["Home"], "Home"),
                       (["t", "6", "0", "0", "0", "Return"], "Go to time 6000 s"),
                       (["t", "3", "1", "Return"], "Go to time 31 s")):
        xdo("key", *keys[:-1])
        v.trace.wait("key", v.trace.mark(), len(keys) - 1) if len(keys) > 1 else None
        mark = v.trace.mark()
        start = time.perf_counter()
        xdo("key", keys[-1])
        handled = v.trace.wait("key", mark)
        v.wait_frames_after(handled, 1)
        print(f"{name}: first frame of its page after {(time.perf_counter() - start) * 1000:.0f} ms")
    v.key("Escape")
    v.wait_exit()
    v.stop()
