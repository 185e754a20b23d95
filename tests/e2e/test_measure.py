"""A researcher measures with the viewer: a recording far off the origin
lies partly outside the start view, the window says so, and f fits it; a
click picks the sample under the pointer (its line of the file printed),
Left and Right move the pick, a click elsewhere clears it; k puts numbers
in degrees along the axes; p adds the time plot, where a click picks the
sample at that time and a drag draws only a range of times in 3D; h lists
every key and mouse action, and ESC closes the list before it quits."""
import math
import os
import re
import tempfile

from harness import (BINARY, bounding_box, check, child_env, differing, finish, geometry, is_red,
                     near, ocr_until, read_png, viewer_or_finish, xdo)
import subprocess

work = tempfile.mkdtemp(prefix="quelvist-measure-")

# A circle of radius 6 deg about (-10, -16) in the horizontal-vertical plane
# (drawn up and to the right, out at the top), torsion 0, both eyes alike,
# fully shaded: in the front view it lies in the screen plane, so a fit puts its centre on the window's centre and its
# diameter at 90 % of the window's height: 135 pixels either side of 150.
circle = os.path.join(work, "circle.txt")
with open(circle, "w") as out:
    out.write("Export of session 4\nSubject 7, 30 Hz\n")  # the sample lines start lower
    out.write("Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\n")
    for i in range(121):  # 120 steps: 7 pixels apart once fitted
        a = 2 * math.pi * i / 120
        h, v = -10 + 6 * math.cos(a), -16 + 6 * math.sin(a)
        eye = f"{h:.4f}\t{v:.4f}\t0"
        out.write(f"{i / 30:.4f}\t0\t0\t{eye}\t0\t1\t0\t0\t{eye}\t0\t1\n".replace(".", ","))
with open(circle) as f:
    lines = f.read().splitlines()

# Without the label bar, whose corner a fit keeps the samples clear of.
v, window = viewer_or_finish(["--hide", "drum", circle],
                             "the viewer starts on a recording far off the origin")
g = geometry(window)
words = ocr_until(None, "40-outside", "outside", crop=f"200x25+{g['X']}+{g['Y'] + 275}",
                  light=True)
check("lies outside the view" in words,
      f"the start view says that part of the recording lies outside ({words!r})")
v.key("f")
fitted = v.shot("41-fitted")
box = bounding_box(fitted, is_red)
expected = (15, 15, 285, 285)
check(box is not None and all(abs(a - b) <= 3 for a, b in zip(box, expected)),
      f"f centres the circle and fills 90 % of the window ({box}, expected {expected})")
words = ocr_until(None, "42-fitted-notice", "", crop=f"200x25+{g['X']}+{g['Y'] + 275}",
                  light=True)
check("outside" not in words, f"the notice has gone after the fit ({words!r})")
snapshot = os.path.join(work, "fit.png")
r = subprocess.run([BINARY, "--snapshot", snapshot, "--fit", "--hide", "drum", circle],
                   capture_output=True,
                   text=True, env=child_env())
check(r.returncode == 0 and bounding_box(read_png(snapshot), is_red) == box,
      f"--fit gives the same view ({r.returncode}, {r.stderr!r})")

# Fitted, sample 31 (angle 90 deg: 6 deg below the centre, positive vertical
# being drawn downwards) lies at 135 pixels under the window's centre.
def click(x, y):
    mark = v.trace.mark()
    xdo("mousemove", "--window", str(window), str(x), str(y), "click", "1")
    line = v.trace.wait("pick", mark)
    v.wait_frames_after(line)
    return v.trace.lines[line] if line is not None else None


check(click(150, 284) == "pick 31", "a click picks the sample under the pointer")
v.shot("44-picked")
# The readout names the sample as the file does: its number among the
# samples and its line (preamble and header above it).
line_of_31 = next(i for i, line in enumerate(lines) if line.startswith("1,0000\t")) + 1
words = ocr_until(None, "44-readout", "line", crop=f"300x45+{g['X']}+{g['Y'] + 255}", light=True)
check(near(words, f"31 (line {line_of_31} of the file)"),
      f"the readout says sample 31 (line {line_of_31} of the file) ({words!r})")
v.key("Right", "shift+Right", "Left")
picks = [line for line in v.trace.read() if line.startswith("pick")]
check(picks[-3:] == ["pick 32", "pick 42", "pick 41"], f"Right, Shift+Right, Left move the pick ({picks})")
check(click(150, 150) == "pick none", "a click away from the paths clears the pick")
v.key("r")
reset = v.shot("43-reset")
check(bounding_box(reset, is_red) != box, "r returns to the origin")

# The scale in the start view: 150 / tan(32.5 deg) / 30 = 7.85 pixels a
# degree at the origin. The horizontal axis runs over the samples' -16 ..
# 10; of 2 or 5 degree steps only 5 puts at most 8 numbers (0 aside) on it.
# Its numbers stand under it, positive to the left: 10 5 -5 -10 -15.
v.key("k")
words = ocr_until(None, "47-scale", "15", crop=f"300x22+{g['X']}+{g['Y'] + 155}", light=True,
                  sparse=True)
# OCR misreads a number of the small font now and then ("19").
digits = re.findall(r"\d+", words)
misread = sum(a != b for a, b in zip(digits, ["10", "5", "5", "10", "15"]))
check(len(digits) == 5 and misread <= 1, f"k shows the degrees along the horizontal axis ({words!r})")
v.key("k")

# The time plot: the bottom 100 pixels. Its traces' frame is found in the
# pixels (the white inside of the top strip); the circle's 4 s span it.
v.key("p")
plot = v.shot("48-time-plot")
row = [plot.at(x, 215) for x in range(300)]
inside = [x for x, rgb in enumerate(row) if rgb == (255, 255, 255)]
x0, x1 = inside[0] - 1, inside[-1] + 2  # the frame's border lines


def x_at(t):
    # The pixel column that holds the time, as the plot draws its cursor.
    return math.floor(x0 + t / 4 * (x1 - x0))


def drag(t0, t1):
    mark = v.trace.mark()
    xdo("mousemove", "--window", str(window), str(x_at(t0)), "250", "mousedown", "1")
    xdo("mousemove", "--window", str(window), str((x_at(t0) + x_at(t1)) // 2), "250")
    xdo("mousemove", "--window", str(window), str(x_at(t1)), "250", "mouseup", "1")
    line = v.trace.wait("range", mark)
    v.wait_frames_after(line)
    return v.trace.lines[line] if line is not None else None


check(bounding_box(plot, is_red, (0, 200, 300, 300)) is not None
      and bounding_box(plot, is_red, (0, 0, 300, 200)) is not None, "p adds the time plot under the 3D view")
picked = click(x_at(1.0), 215)
check(picked in ("pick 30", "pick 31", "pick 32"), f"a click in the plot picks the sample at that time, 1 s ({picked})")
shown = v.shot("49-plot-pick")
cursor = [y for y in range(200, 300) if shown.at(x_at(1.0), y) == (0, 0, 0)]
check(len(cursor) > 60, f"the cursor marks the picked time ({len(cursor)} black pixels)")
# 1 s to 2 s: samples 31 to 61 (Time (n - 1) / 30), give or take a pixel.
ranged = drag(1.0, 2.0)
first, last = (int(n) for n in ranged.split()[1:]) if ranged else (0, 0)
check(abs(first - 31) <= 1 and abs(last - 61) <= 1 and v.trace.latest_samples() == last - first + 1,
      f"a drag in the plot draws only that time range in 3D ({ranged}, {v.trace.latest_samples()} drawn)")
shaded = v.shot("50-range")
yellow = shaded.count(lambda r, g, b: r > 240 and g > 220 and b < 180, (x0, 200, x1, 300))
check(yellow > 3 * 20 * (x_at(2) - x_at(1)) // 2, f"the range is shaded in the plot ({yellow} pixels)")
check(click(x_at(3.0), 215) in ("pick 90", "pick 91", "pick 92") and v.trace.latest_samples() == 121,
      "a click in the plot clears the range")
v.key("p")
before_help = v.shot("51-before-help")

v.key("h")
words = ocr_until(None, "45-help", "pointer", crop=f"300x300+{g['X']}+{g['Y']}")
wanted = ("fit the view", "the pointer", "the menu", "quit")
check(all(w in words for w in wanted),
      f"h lists every key and mouse action (not read: {[w for w in wanted if w not in words]})")
mark = v.trace.mark()
v.key("Escape")  # returns without waiting for a frame: ESC usually quits
v.wait_frames_after(v.trace.wait("key", mark))
check(v.proc.poll() is None and differing(before_help, v.shot("46-help-closed")) == 0,
      "ESC closes the list and the picture is as before")
v.key("Escape")
check(v.wait_exit() == 1, "ESC then quits")
printed = v.proc.stdout.read().splitlines()[:4]
check(printed == [lines[33], lines[34], lines[44], lines[43]],
      f"each pick prints its line of the file as it stands ({printed})")

v.stop()
finish()
