"""A researcher reads values straight off the picture: in the orthographic
front view with the scale, a picked sample's marker lies on the scale's
ticks for its horizontal and vertical values whatever its torsion; the key
names the colours; texts are legible in a large window. Ctrl+O opens a
second recording (a bad one keeps the one shown); f fits the recorded
samples, not the lost ones drawn at the origin, and keeps them clear of the
label bar; 4 shows the subject's view, a right-going path to the right."""
import os
import re
import subprocess
import tempfile

from harness import (BINARY, check, child_env, differing, finish, geometry, ocr_until, read_png,
                     viewer_or_finish, wait_until, xdo)

work = tempfile.mkdtemp(prefix="quelvist-values-")
SIZE = 700  # at least 700 pixels tall: the added texts take the 12-pixel font
HEADER = "Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\n"


def write(path, rows, shade="0,3"):
    """rows: (left h, v, t, right h, v, t); shade: both shade columns."""
    with open(path, "w") as out:
        out.write(HEADER)
        for i, (lh, lv, lt, rh, rv, rt) in enumerate(rows):
            cells = [i / 100, 0, 0, lh, lv, lt, 0, shade, 0, 0, rh, rv, rt, 0, shade]
            out.write("\t".join(str(c).replace(".", ",") for c in cells) + "\n")


# Fixations held for 20 samples each at known positions, torsion +-8 deg:
# the left eye at (h, v, t), the right at (-h, -v, -t). Shades of 0.3 draw
# the paths pale, so the pick's pure blue and red crosses stand out.
FIXATIONS = [(10, 5, 8), (-5, -10, -8), (15, -5, 8), (-10, 10, -8)]
rows = []
for h, v, t in FIXATIONS:
    rows += [(h, v, t, -h, -v, -t)] * 20
values = os.path.join(work, "values.txt")
write(values, rows)

# The second recording: the eye far up and to the right of the origin in
# the front view (horizontal -30 .. -20, vertical -20 .. -10), a Z traced
# rightwards in the subject's view: the top edge, the diagonal back, the
# bottom edge; a blink (every position 0, drawn at the origin while the
# paths join over it) on the diagonal; no shades at all.
square = [(-30 + k * 0.25, -20, 0) for k in range(41)]
square += [(-20 - k * 0.25, -20 + k * 0.25, 0) for k in range(1, 40)]
square[50:55] = [(0, 0, 0)] * 5
square += [(-30 + k * 0.25, -10, 0) for k in range(41)]
second = os.path.join(work, "second.txt")
write(second, [(h, v, t, h, v, t) for h, v, t in square], shade="")
empty = os.path.join(work, "empty.txt")
with open(empty, "w") as out:
    out.write("Time\tonly\n0\t1\n")


def is_tick(r, g, b):
    return all(20 <= c <= 31 for c in (r, g, b))  # the scale's ticks: 0.1 grey


def marker_centre(image, colour, legend):
    """The middle of the pick's cross in that pure colour (the key's lines,
    in the box legend, aside)."""
    xs, ys = [], []
    for y in range(image.height):
        for x in range(image.width):
            if legend[0] <= x < legend[2] and legend[1] <= y < legend[3]:
                continue
            if image.at(x, y) == colour:
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return (min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2


def enlarge(v, window):
    """The window made SIZE pixels square; returns its geometry once frames
    of that size have been shown."""
    mark = v.trace.mark()
    xdo("windowsize", str(window), str(SIZE), str(SIZE))
    wait_until(lambda: geometry(window).get("HEIGHT") == SIZE, 10.0)
    # The picture settles after the new size: frames go on for a while.
    v.trace.wait("frame", mark, 6)
    return geometry(window)


# Without the label bar, which a fit keeps the samples clear of (below).
v, window = viewer_or_finish(["--ortho", "--scale", "--hide", "drum", values],
                             "the viewer starts in the orthographic view with the scale")
g = enlarge(v, window)
start = v.shot("60-ortho-scale")
snapshot = os.path.join(work, "ortho.png")
r = subprocess.run([BINARY, "--snapshot", snapshot, "--size", f"{SIZE}x{SIZE}", "--ortho",
                    "--scale", "--hide", "drum", values], capture_output=True, text=True,
                   env=child_env())
check(r.returncode == 0 and differing(read_png(snapshot), start, (0, 0, SIZE, SIZE), (0, 0, 0, 0)) == 0,
      f"--snapshot --ortho draws what the viewer shows ({r.stderr.strip()[-200:]})")

# o switches to the perspective and back: each time the settled picture is
# the snapshot of that projection (no picture kept from the other).
perspective = os.path.join(work, "perspective.png")
subprocess.run([BINARY, "--snapshot", perspective, "--size", f"{SIZE}x{SIZE}", "--scale", "--hide",
                "drum", values], env=child_env(), check=True)
v.key("o")
check(differing(read_png(perspective), v.shot("60-perspective"), (0, 0, SIZE, SIZE),
                (0, 0, 0, 0)) == 0, "o: the perspective view, as its snapshot")
v.key("o")
start = v.shot("60-ortho-again")
check(differing(read_png(snapshot), start, (0, 0, SIZE, SIZE), (0, 0, 0, 0)) == 0,
      "o again: the orthographic view, as its snapshot")

# The cross meets at the window's middle (the view's centre is the origin).
# The horizontal axis's ticks stand 4 pixels above and below it, the
# vertical axis's beside it.
middle = SIZE // 2
tick_x = sorted(x for x in range(SIZE) if is_tick(*start.at(x, middle - 3)))
tick_y = sorted(y for y in range(SIZE) if is_tick(*start.at(middle + 3, y)))
# The step between numbers: the least of the numbers under the horizontal
# axis left of the middle (positive horizontal points left in the front
# view), next to the first tick there.
left_ticks = [x for x in tick_x if x < middle - 2]
first = max(left_ticks) if left_ticks else None
words = ocr_until(None, "61-scale-numbers", "5",
                  crop=f"{middle - 20}x26+{g['X'] + 10}+{g['Y'] + middle + 4}", light=True)
numbers = [int(n) for n in re.findall(r"\d+", words) if int(n) > 0]
step = min(numbers) if numbers else None
check(step in (2, 5, 10), f"the scale's numbers read with a step ({words!r})")
spacing = (middle - first) if first else None


def tick_for(value, axis):
    """The pixel of the tick whose number is value: positive horizontal to
    the left of the middle, positive vertical below it."""
    ticks = tick_x if axis == "h" else tick_y
    k = round(value / step)
    want = middle - k * spacing if axis == "h" else middle + k * spacing
    found = [p for p in ticks if abs(p - want) <= 2]
    return found[0] if found else None


for index, (h, vv, t) in enumerate(FIXATIONS):
    x, y = tick_for(h, "h"), tick_for(vv, "v")
    if x is None or y is None:
        check(False, f"the scale has ticks for {h} and {vv} ({tick_x}, {tick_y})")
        continue
    mark = v.trace.mark()
    xdo("mousemove", "--window", str(window), str(x), str(y), "click", "1")
    line = v.trace.wait("pick", mark)
    v.wait_frames_after(line)
    picked = v.trace.lines[line] if line is not None else None
    # The trace counts samples from 1.
    row = int(picked.split()[1]) - 1 if picked and picked.split()[1].isdigit() else -1
    shot = v.shot(f"62-pick-{index}")
    key_box = (SIZE - 120, 0, SIZE, 60)  # the key to the colours, upper right
    blue, red = marker_centre(shot, (0, 0, 255), key_box), marker_centre(shot, (255, 0, 0), key_box)
    want_red = (tick_for(-h, "h"), tick_for(-vv, "v"))
    check(row // 20 == index and blue is not None and red is not None
          and abs(blue[0] - x) <= 1 and abs(blue[1] - y) <= 1
          and abs(red[0] - want_red[0]) <= 1 and abs(red[1] - want_red[1]) <= 1,
          f"sample at H {h} V {vv} T {t}: the left marker {blue} lies on the ticks "
          f"({x}, {y}), the right {red} on {want_red} ({picked})")

# The readout and the key, in the 12-pixel font: the readout's letters
# (parentheses, the tallest) reach at least 11 pixels.
readout = ocr_until(None, "63-readout", "line", crop=f"{SIZE}x40+{g['X']}+{g['Y'] + SIZE - 40}",
                    light=True)
# The header is the file's first line: sample N stands on line N + 1.
named = re.search(r"sample\s*(\d+)\s*\(line\s*(\d+)\s*of\s*the\s*file\)", readout)
check(named is not None and int(named.group(2)) == int(named.group(1)) + 1,
      f"the pick's readout names the sample and its line ({readout!r})")
shot = v.shot("63-readout")
rows_lit = [y for y in range(SIZE - 40, SIZE) if any(
    shot.at(x, y) == (255, 255, 255) for x in range(0, SIZE // 2))]
check(rows_lit and max(rows_lit) - min(rows_lit) + 1 >= 11,
      f"the readout's text is at least 11 pixels tall ({rows_lit[:1]}..{rows_lit[-1:]})")
legend = ocr_until(None, "64-legend", "right eye", crop=f"200x70+{g['X'] + SIZE - 200}+{g['Y']}")
check("left eye" in legend and "right eye" in legend, f"the key names the eyes ({legend!r})")

def open_with_dialog(path):
    """Ctrl+O, and path given to the dialog it shows (the key is traced once
    the dialog is answered); the trace's mark before."""
    mark = v.trace.mark()
    xdo("windowfocus", "--sync", str(window))
    xdo("key", "ctrl+o")
    dialog = v.wait_dialog()
    if dialog is not None:
        v.answer(dialog, "ctrl+l")
        xdo("type", "--delay", "20", path)
        v.answer_until_gone(dialog, "Return")
    return mark


# Ctrl+O: the file dialog, a second recording; the view stays orthographic.
mark = open_with_dialog(second)
opened = v.trace.wait("opened", mark)
check(opened is not None and v.trace.lines[opened] == f"opened {len(square)}",
      f"Ctrl+O opens the second recording ({v.trace.read()[mark:][-4:]})")
check(xdo("getwindowname", str(window)).strip() == "Quelvist - second.txt",
      "the window's title names the file")
v.wait_frames_after(opened)

# A bad file keeps the second one, and the window says why.
mark = open_with_dialog(empty)
failed = v.trace.wait("open failed", mark)
if failed is not None:
    v.wait_frames_after(failed)
notice = ocr_until(None, "65-bad-file", "stays", crop=f"{SIZE}x80+{g['X']}+{g['Y'] + SIZE - 80}",
                   light=True)
check(failed is not None and "samples" in notice and "stays" in notice,
      f"a file without samples leaves the recording shown and says why ({notice!r})")

# f fits the recorded samples: the Z, 10 by 10 degrees, fills 90 % of
# the window, so its top left corner (h -30, v -20) lands 5 % in from the
# window's upper right (the front view mirrors horizontal). Were the blink's
# zeros fitted, the origin would be in view and the corner far from there.
v.key("k")  # the scale and its key away: a fit keeps the samples clear of the key too
v.key("f")
fitted = v.shot("66-fitted")
mark = v.trace.mark()
corner = (round(SIZE * 0.95) - 1, round(SIZE * 0.05))
xdo("mousemove", "--window", str(window), str(corner[0]), str(corner[1]), "click", "1")
line = v.trace.wait("pick", mark)
check(line is not None and v.trace.lines[line] in ("pick 0", "pick 1"),
      f"f fits the recorded samples: the corner sample lies at {corner} "
      f"({v.trace.lines[line] if line is not None else None})")
v.key("Escape")
v.wait_exit()

# The fitted figure keeps the samples clear of the label bar: the Z's lower
# right corner (h -30, v -10) would lie under it at 90 %. The bar alone
# (both eyes hidden fit the same samples) gives its box; within the box the
# figure with the paths must not differ from it.
fit_png, bar_png = os.path.join(work, "fit.png"), os.path.join(work, "bar.png")
common = ["--size", f"{SIZE}x{SIZE}", "--fit", "--hide"]
subprocess.run([BINARY, "--snapshot", fit_png, *common, "edges,cross", second], env=child_env(),
               check=True)
subprocess.run([BINARY, "--snapshot", bar_png, *common, "edges,cross,left,right", second],
               env=child_env(), check=True)
fit, bar = read_png(fit_png), read_png(bar_png)
grey = bar.at(SIZE // 2, SIZE // 2)
lit = [(x, y) for y in range(SIZE // 2, SIZE) for x in range(SIZE // 2, SIZE)
       if bar.at(x, y) != grey]
box = (min(x for x, _ in lit), min(y for _, y in lit), max(x for x, _ in lit),
       max(y for _, y in lit)) if lit else None
under = sum(1 for y in range(box[1], box[3] + 1) for x in range(box[0], box[2] + 1)
            if fit.at(x, y) != bar.at(x, y)) if box else -1
check(under == 0, f"--fit keeps the paths clear of the label bar's box {box} ({under} pixels)")

# The subject's view: the Z, traced rightwards, runs to the right (its
# start white, its end darkest: shaded by sample order).
v, window = viewer_or_finish(["--hide", "right", second],
                             "the viewer starts on the second recording")
enlarge(v, window)
v.key("f", "4")
shot = v.shot("67-subject")


def blues(image):
    """(x, how blue) of the path's pixels: white at the start, blue at the end."""
    found = []
    for y in range(0, SIZE, 2):
        for x in range(0, SIZE, 2):
            r, g_, b = image.at(x, y)
            if b > 200 and r == g_ and r < 235 and b - r > 10:
                found.append((x, b - r))
    return found


pixels = blues(shot)
pale = [x for x, depth in pixels if depth < 60]
deep = [x for x, depth in pixels if depth > 200]
check(pale and deep and sum(deep) / len(deep) > sum(pale) / len(pale) + 50,
      f"4: the path's later samples lie to the right ({len(pale)} pale, {len(deep)} deep pixels)")
v.key("Escape")
v.wait_exit()
finish()
