"""Hostile files and paths on the real program: the error message with the
whole path, shown literally, status 1; files from other programs open as
the reading rules say (a line in the window says why nothing is drawn), and
the viewer stays responsive."""
import os
import random
import subprocess
import tempfile

from harness import (BINARY, Viewer, check, near, child_env, differing, finish, geometry, is_blue, ocr_until,
                     write_recording)

work = tempfile.mkdtemp(prefix="quelvist-hostile-")


def snapshot(path):
    return subprocess.run([BINARY, "--snapshot", os.path.join(work, "out.png"), path], cwd=work,
                          capture_output=True, text=True, timeout=60,
                          env=child_env())


# Long paths: 4000 characters, in directories of 200-character names.
long_dir = work
while len(long_dir) < 3700:
    long_dir = os.path.join(long_dir, "d" * 200)
    os.mkdir(long_dir)
long_missing = os.path.join(long_dir, "m" * (3990 - len(long_dir)) + ".txt")
long_present = long_missing[:-5] + "p.txt"
write_recording(long_present, [(-5, 0, 0, 1, 900, 0, 0, 1), (-15, 5, 0, 1, 900, 0, 0, 1)])
dangling = os.path.join(work, "dangling.txt")
os.symlink("/nonexistent/recording.txt", dangling)

for path, label in (("%s%n%x.txt", "percent"), (long_missing, "4000 characters"),
                    (dangling, "dangling link")):
    r = snapshot(path)
    check(r.returncode == 1, f"{label}: status 1 ({r.returncode})")
    check(r.stderr == f"Could not open filename {path}.\n",
          f"{label}: the whole path, literally ({r.stderr[:60]!r}...{r.stderr[-30:]!r})")

r = snapshot(long_present)
check(r.returncode == 0, f"a recording at a 4000-character path opens ({r.stderr!r})")

# The same in the dialog: it opens, names the file, and closing it ends the run.
for path, label in (("%s%n%x.txt", "percent"), (long_missing, "4000 characters")):
    v = Viewer([path], cwd=work)
    error = v.error_after_question()
    check(error is not None, f"{label}: the error dialog opens")
    if error:
        words = ocr_until(error, "hostile-" + label.replace(" ", "-"), "Could not open", scale=200)
        check("Could not open filename" in words, f"{label}: the message ({words[:80]!r})")
        if label == "percent":
            check("%s%n%x.txt" in words.replace(" ", ""), f"the '%' shown as they are ({words!r})")
        v.answer(error, "Return")
        check(v.wait_exit() == 1, f"{label}: status 1 after the message")
    v.stop()

# Files from other programs: random bytes (no header: an empty plot) and a
# recording with infinite values among good samples. The viewer answers keys.
binary = os.path.join(work, "random.bin")
with open(binary, "wb") as out:
    out.write(bytes(random.Random(5).getrandbits(8) for _ in range(200000)))
infinite = os.path.join(work, "infinite.txt")
with open(infinite, "w") as out:
    out.write("Time\n")
    for i in range(2000):
        lh = "1e400" if i % 100 == 50 else f"{(i % 200) / 10 - 10:.1f}".replace(".", ",")
        torsion = "3e38" if i % 100 == 20 else "0,5"
        out.write(f"0\t0\t0\t{lh}\t{(i % 37) / 3 - 6:.2f}\t{torsion}\t0\t1\t0\t0"
                  f"\t-{lh}\t2\t{torsion}\t0\t1\n")

for path, label in ((binary, "random bytes"), (infinite, "infinite values")):
    v = Viewer([path], cwd=work)
    window = v.start_windowed()
    check(window is not None, f"{label}: the viewer opens")
    if window:
        before = v.shot("hostile-" + label.replace(" ", "-"))
        if label == "infinite values":
            check(before.count(is_blue) > 50, "infinite values: the good samples are drawn")
        else:
            g = geometry(window)
            words = ocr_until(None, "hostile-no-samples", "begins",
                              crop=f"230x30+{g['X']}+{g['Y'] + 270}", light=True)
            check(near(words, "no line begins with Time"),
                  f"random bytes: the window says why nothing is drawn ({words!r})")
        v.key("F4", "F7")
        after = v.shot_when("hostile-" + label.replace(" ", "-") + "-turned",
                            lambda image: differing(before, image) > 0)
        check(differing(before, after) > 0, f"{label}: keys still change the picture")
        v.key("Escape")
        check(v.wait_exit() == 1, f"{label}: ESC ends with status 1")
        err = v.proc.stderr.read()
        check(err == "", f"{label}: nothing printed ({err[:200]!r})")
    v.stop()

finish()
