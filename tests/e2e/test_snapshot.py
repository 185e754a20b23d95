"""Snapshots for figures: --snapshot on the command line and the s key."""
import os
import shutil
import subprocess
import tempfile
import time

from harness import (BINARY, child_env, DATA, Viewer, check, differing, finish, is_blue, is_red, read_png)

work = tempfile.mkdtemp(prefix="quelvist-snap-")
sample = os.path.join(DATA, "test.txt")


def run(*args, env=None):
    return subprocess.run([BINARY, *args], cwd=work, capture_output=True, text=True, timeout=60,
                          env=env or child_env())


out = os.path.join(work, "figure.png")
r = run("--snapshot", out, "--size", "640x480", sample)
check(r.returncode == 0, f"--snapshot exits 0 ({r.returncode}, {r.stderr!r})")
check(r.stdout == "" and r.stderr == "", "and prints nothing")
if os.path.exists(out):
    image = read_png(out)
    check((image.width, image.height) == (640, 480), f"--size sets the picture's size ({image.width}x{image.height})")
    check(image.count(is_blue) > 500 and image.count(is_red) > 500, "the snapshot shows both paths")
    shutil.copy(out, os.path.join(os.environ.get("QUELVIST_SCREENSHOTS", work), "snapshot-640x480.png"))

r = run("--snapshot", out, sample)
check(r.returncode == 0 and read_png(out).width == 300, "the default size is 300x300")

r = run("--snapshot", "/nonexistent-dir/figure.png", sample)
check(r.returncode == 2, f"an unwritable file gives status 2 ({r.returncode})")
check("could not write /nonexistent-dir/figure.png" in r.stderr, f"with a clear message ({r.stderr!r})")

r = run("--snapshot", out, "missing.txt")
check(r.returncode == 1 and r.stderr.strip() == "Could not open filename missing.txt.",
      f"a missing recording: the message on the terminal, status 1 ({r.returncode}, {r.stderr!r})")

# GLUT's own options and their values are GLUT's, wherever they stand; every
# mistake is a usage error (status 2), never a crash.
display = os.environ["DISPLAY"]
for args, status in ((["--snapshot"], 2), (["--snapshot", out], 2), (["--size", "big", sample], 2),
                     (["--snapshot", out, "-geometry", "400x300"], 2),
                     (["-geometry", "400x300", "--snapshot", out], 2),
                     (["--snapshot", out, "-display", display], 2),
                     (["--snapshot", out, sample, "-display"], 2),
                     (["-display", display, "--snapshot", out, sample], 0),
                     (["--snapshot", out, sample, "-geometry", "400x300", "-iconic"], 0),
                     (["--movie", "m.mp4"], 2), (["--fps", "30", sample], 2),
                     (["--movie", "m.mp4", "--fps", "0", sample], 2),
                     (["--movie", "m.mp4", "--rotate", "w", sample], 2),
                     (["--movie", "m.mp4", "--size", "301x300", sample], 2),
                     (["--snapshot", out, "--from", "5", "--to", "5", sample], 2),
                     (["--snapshot", out, "--from", "2,5", "--to", "4", sample], 0)):
    if os.path.exists(out):
        os.remove(out)
    r = run(*args)
    if status == 2:
        check(r.returncode == 2 and "quelvist:" in r.stderr, f"{args}: a usage error ({r.returncode}, {r.stderr!r})")
    else:
        check(r.returncode == 0 and read_png(out).width == 300, f"{args}: the snapshot ({r.returncode}, {r.stderr!r})")

no_display = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
r = run("--help", env=no_display)
check(r.returncode == 0, "--help exits 0, even without a display")
for word in ("-f", "--snapshot", "--size", "F1..F5", "F11, F12", "ESC", "RECORDING"):
    check(word in r.stdout, f"--help mentions {word}")

# The s key writes the current view to a new file and prints its name.
v = Viewer([sample], cwd=work)
window = v.start_windowed()
check(window is not None, "the viewer starts")
if window:
    v.key("s")
    shot = v.shot("s-key-window")
    # Held down, s writes one file; other keys still repeat. How long the
    # server takes to repeat a key is read off F9 held first.
    started = time.time()
    repeats = v.hold("F9", until=5)
    repeat_time = time.time() - started
    check(repeats >= 5, f"a held F9 repeats ({repeats})")
    v.hold("s", seconds=2 * repeat_time)
    check(v.hold("F9", until=3) >= 3, "F9 repeats again after s was let go")
    v.key("Escape")
    v.wait_exit()
    printed = v.proc.stdout.read().split()
    check(printed == ["quelvist-001.png", "quelvist-002.png"],
          f"s prints the new names, one per press ({printed})")
    first = os.path.join(work, "quelvist-001.png")
    if os.path.exists(first):
        saved = read_png(first)
        check(differing(saved, shot) == 0, "the saved view equals the window (outside the turning drum)")
v.stop()
finish()
