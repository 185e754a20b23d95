#!/usr/bin/env python3
"""Soak run (not part of the default tests): the real viewer on a 50000-row
recording, turning about all three axes with the replay on, given a command
every second (keys and menu picks) for ten minutes. Resident memory is
sampled every 10 s; at the end the viewer must still answer keys.

    xvfb-run -a -s "-screen 0 1280x1024x24" tests/soak.py build/quelvist [SECONDS]
"""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
binary = sys.argv[1] if len(sys.argv) > 1 else "build/quelvist"
seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 600
sys.path.insert(0, os.path.join(HERE, "e2e"))
sys.argv = [sys.argv[0], binary, os.path.join(HERE, "..", "data")]
from harness import Viewer, check, differing, finish, xdo  # noqa: E402

big = "/tmp/quelvist-bench-50000.txt"
if not os.path.exists(big):
    subprocess.run([sys.executable, os.path.join(HERE, "..", "tools", "make_recording.py"),
                    "--rows", "50000", "-o", big], check=True)


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


v = Viewer([big])
window = v.start_windowed()
if window is None:
    sys.exit("the viewer did not start")
v.key("F6", "F7", "F8", "a")


def pick_menu(submenu, entry):
    v.open_submenu(submenu, entry)
    xdo("click", "1")


# (submenu, entry) counts from 0: Show/Hide, Auto Rotate, Zoom, Torsion.
commands = [("key", "F1"), ("key", "F1"), ("menu", 0, 1), ("menu", 0, 1), ("key", "F3"),
            ("key", "F10"), ("key", "F9"), ("menu", 2, 1), ("menu", 2, 0), ("key", "F11"),
            ("key", "F12"), ("key", "F3"), ("menu", 0, 3), ("menu", 0, 3), ("menu", 1, 0),
            ("menu", 1, 0), ("key", "F5"), ("key", "F5"), ("menu", 3, 0), ("menu", 3, 1)]
samples = []
start = time.time()
next_sample = start
n = 0
while time.time() - start < seconds:
    if time.time() >= next_sample:
        samples.append((round(time.time() - start), rss_kb(v.proc.pid)))
        next_sample += 10
    command = commands[n % len(commands)]
    n += 1
    if command[0] == "key":
        v.key(command[1])
    else:
        pick_menu(command[1], command[2])
    time.sleep(1.0)
    if v.proc.poll() is not None:
        break

check(v.proc.poll() is None, f"still running after {n} commands")
samples.append((round(time.time() - start), rss_kb(v.proc.pid)))
print("resident memory (s, kB):", " ".join(f"{t}:{kb}" for t, kb in samples))
after_warmup = [kb for t, kb in samples if t >= 60] or [kb for _, kb in samples]
print(f"after the first minute: min {min(after_warmup)} kB, max {max(after_warmup)} kB")
check(max(after_warmup) - min(after_warmup) < 20000, "memory stays flat (within 20 MB)")
v.key("r", "a")
time.sleep(1)
before = v.shot("soak-end-a")
v.key("F1")
time.sleep(1)
check(differing(before, v.shot("soak-end-b")) > 0, "the viewer still answers keys")
v.key("Escape")
check(v.wait_exit() == 1, "ESC ends it with status 1")
v.stop()
finish()
