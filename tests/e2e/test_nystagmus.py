"""A vestibular researcher looks at a recording with nystagmus: n marks the
quick phases and adds a line per eye with the rate, the slow-phase
velocities and the beating direction, and the velocity strips under the
time plot; m shows the main sequence, where a click on a dot picks that
saccade's onset."""
import os
import re
import subprocess
import sys
import tempfile

from harness import (check, finish, geometry, ocr_until, viewer_or_finish, wait_until, xdo)

work = tempfile.mkdtemp(prefix="quelvist-nystagmus-")
TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
SIZE = 760

# 250 Hz, 20 s: both eyes drift at H -2, V 0, T +5 deg/s for 0.46 s, then a
# 0.04 s raised-cosine quick phase of H +0.92, T -2.3 deg; noise 0.03 deg
# (tools/make_nystagmus.py writes it from that description).
recording = os.path.join(work, "nystagmus.txt")
subprocess.run([sys.executable, os.path.join(TOOLS, "make_nystagmus.py"), "-o", recording],
               check=True)

v, window = viewer_or_finish(["--plot", recording], "the viewer starts on a recording with nystagmus")
mark = v.trace.mark()
xdo("windowsize", str(window), str(SIZE), str(SIZE))
wait_until(lambda: geometry(window).get("HEIGHT") == SIZE, 10.0)
v.trace.wait("frame", mark, 6)
g = geometry(window)

mark = v.trace.mark()
v.key("n")
found = v.trace.wait("nystagmus", mark)
check(found is not None and v.trace.lines[found] == "nystagmus 80",
      f"n finds 40 quick phases in each eye ({v.trace.lines[found] if found else None})")
# The lines stand at the bottom left of the 3D view, above the time plot.
words = ocr_until(None, "70-nystagmus-lines", "beating",
                  crop=f"{SIZE}x90+{g['X']}+{g['Y'] + SIZE * 2 // 3 - 95}", light=True)
check("2.0 quick phases/s" in words and "right-beating" in words and "left ear" in words
      and re.search(r"T\s*5\.0", words) is not None,
      f"a line per eye: 2.0 quick phases/s, SPV T 5.0, right-beating, toward the left ear ({words!r})")
shot = v.shot("71-nystagmus")
plot = [(x, y) for y in range(SIZE * 2 // 3, SIZE) for x in range(SIZE)
        if shot.at(x, y) == (250, 217, 178)]
check(len(plot) > 200, f"the quick phases are shaded in the time plot ({len(plot)} pixels)")
# The three strips stand lowest, over the time axis.
words = ocr_until(None, "72-velocity-strips", "/s)",
                  crop=f"320x125+{g['X']}+{g['Y'] + SIZE - 135}")
check(len(re.findall(r"SP.\s*(horizont|vertic|torsi)", words)) >= 2 and "/s)" in words,
      f"the slow-phase velocity strips are named ({words!r})")

def click_and_pick(x, y):
    """Clicks at (x, y) in the window: the sample the pick names (from 1),
    -1 for none, and the trace's line."""
    mark = v.trace.mark()
    xdo("mousemove", "--window", str(window), str(x), str(y), "click", "1")
    line = v.trace.wait("pick", mark)
    picked = v.trace.lines[line] if line is not None else ""
    words = picked.split()
    return (int(words[1]) if words[1:2] and words[1].isdigit() else -1), picked


# A click beside a slow phase's dot (2 pixels right of its centre, 13 ms
# later) picks the slow phase's middle sample: the slow phases run from
# 10 ms after one quick phase ends to 10 ms before the next begins, so the
# middle of the one in cycle k lies 0.23 s into it, sample 125 k + 58.5.
spv = [(x, y) for y in range(SIZE - 60, SIZE) for x in range(SIZE // 4, SIZE - 20)
       if all(shot.at(x + dx, y + dy) == (0, 0, 255) for dx in range(3) for dy in range(3))]
check(bool(spv), f"the torsion strip shows the slow phases' dots ({len(spv)} pixels)")
if spv:
    x, y = spv[len(spv) // 2]
    sample, picked = click_and_pick(x + 3, y + 1)
    check(sample > 0 and 55 <= (sample - 1) % 125 <= 60,
          f"a click on a slow phase's dot picks its middle sample ({picked})")

# m: the main sequence; the quick phases' horizontal part makes saccades
# of about 0.9 deg. A click on a blue dot picks a saccade's onset: the
# quick phases start at samples 115, 240, ... (125 apart).
v.key("m")
shot = v.shot("73-main-sequence")
# A dot is 3 pixels square: the curves are thinner, the numbers' letters too.
dots = [(x, y) for y in range(0, SIZE * 2 // 3) for x in range(SIZE // 2, SIZE - 2)
        if all(shot.at(x + dx, y + dy) == (0, 0, 255) for dx in range(3) for dy in range(3))]
check(bool(dots), f"the panel shows the saccades' dots ({len(dots)} pixels)")
if dots:
    x, y = dots[0]
    sample, picked = click_and_pick(x + 1, y + 1)
    check(sample > 0 and 105 <= (sample - 1) % 125 <= 122,
          f"a click on a dot picks that saccade's onset ({picked})")
v.key("Escape")
v.wait_exit()
finish()
