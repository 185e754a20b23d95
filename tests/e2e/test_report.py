"""A researcher asks for each eye's numbers and the events of a recording
without a window: --report on an eye that obeys Listing's law (positions
made here from the law itself, through rotation matrices), under both
conventions and with flipped signs; --events with blinks, as a BIDS file;
no display needed."""
import math
import os
import subprocess
import tempfile

from harness import (BINARY, check, child_env, finish, geometry, is_blue, near, ocr_until,
                     viewer_or_finish)

work = tempfile.mkdtemp(prefix="quelvist-report-")
env = child_env()
env.pop("DISPLAY", None)


def run(*args):
    return subprocess.run([BINARY, *args], capture_output=True, text=True, env=env, cwd=work)


def table(stdout):
    lines = [line.split("\t") for line in stdout.splitlines()]
    return [dict(zip(lines[0], row)) for row in lines[1:]]


# Listing's law with the primary position 6 deg right and 10 deg up: every
# rotation vector (x forward, y left, z up) lies in the plane whose normal
# is halfway between straight ahead and the primary direction.
primary = (math.cos(math.radians(6)) * math.cos(math.radians(10)),
           -math.sin(math.radians(6)) * math.cos(math.radians(10)), math.sin(math.radians(10)))
normal = [a + b for a, b in zip((1, 0, 0), primary)]
length = math.sqrt(sum(a * a for a in normal))
normal = [a / length for a in normal]
e1 = [-normal[2], 0, normal[0]]  # across the normal
e1 = [a / math.sqrt(sum(b * b for b in e1)) for a in e1]
e2 = [normal[1] * e1[2] - normal[2] * e1[1], normal[2] * e1[0] - normal[0] * e1[2],
      normal[0] * e1[1] - normal[1] * e1[0]]


def fick_angles(r, signs=(1, 1, 1)):
    """H, V, T of the rotation vector r: Rodrigues' matrix, then
    R = Rz(theta) Ry(phi) Rx(psi) with H = -theta, V = -phi, T = psi."""
    angle = 2 * math.atan(math.sqrt(sum(a * a for a in r)))
    n = [a / math.sqrt(sum(b * b for b in r)) for a in r] if angle else [1, 0, 0]
    c, s = math.cos(angle), math.sin(angle)
    cross = [[0, -n[2], n[1]], [n[2], 0, -n[0]], [-n[1], n[0], 0]]
    R = [[(c if i == j else 0) + n[i] * n[j] * (1 - c) + s * cross[i][j] for j in range(3)]
         for i in range(3)]
    theta = math.atan2(R[1][0], R[0][0])
    phi = math.asin(-R[2][0])
    psi = math.atan2(R[2][1], R[2][2])
    return (signs[0] * -math.degrees(theta), signs[1] * -math.degrees(phi),
            signs[2] * math.degrees(psi))


def write(path, positions, rate=250, hold=0.3, blinks=()):
    """Each position held for hold seconds, with a tremor of a thousandth of
    a degree (as a tracker's noise: a trace without any makes Engbert and
    Kliegl's threshold come from the saccades themselves); blinks: (eye
    column, from, to) in seconds, written as empty cells."""
    with open(path, "w") as out:
        out.write("Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\n")
        n = 0
        for h, v, t in positions:
            for _ in range(int(hold * rate)):
                time = n / rate
                tremor = 0.001 * math.sin(n * 2.1)
                eye = f"{h + tremor:.6f}\t{v - tremor:.6f}\t{t:.6f}"
                left = right = eye
                for column, a, b in blinks:
                    if a <= time < b:
                        if column == 3:
                            left = "\t\t"
                        else:
                            right = "\t\t"
                out.write(f"{time:.4f}\t0\t0\t{left}\t0\t1\t0\t0\t{right}\t0\t1\n".replace(".", ","))
                n += 1


# Off the origin: a position of all zeros is a missing sample.
grid = [(u, v) for u in (-0.15, 0.02, 0.15) for v in (-0.15, 0.02, 0.15)]
positions = [fick_angles([u * a + v * b for a, b in zip(e1, e2)]) for u, v in grid]
listing = os.path.join(work, "listing.txt")
write(listing, positions * 3)
r = run("--report", listing)
rows = table(r.stdout) if r.returncode == 0 else []
expected_b, expected_c = -normal[1] / normal[0], -normal[2] / normal[0]
check(len(rows) == 2 and all(
    abs(float(row["plane_b"]) - expected_b) < 1e-4 and abs(float(row["plane_c"]) - expected_c) < 1e-4
    and abs(float(row["primary_right_deg"]) - 6) < 0.01 and abs(float(row["primary_up_deg"]) - 10) < 0.01
    and float(row["thickness_deg"]) < 0.01 and float(row["thickness_other_convention_deg"]) > 0.1
    for row in rows), f"--report finds the plane and the primary position 6 right, 10 up ({r.stdout!r} {r.stderr!r})")
check(all(row["saccades"] == "26" and row["blinks"] == "0" for row in rows),
      f"26 jumps between 27 fixations are 26 saccades ({[row['saccades'] for row in rows]})")

# The same eye exported with horizontal positive to the left: --signs -h.
mirrored = os.path.join(work, "mirrored.txt")
write(mirrored, [(-h, v, t) for h, v, t in positions] * 3)
r = run("--report", "--signs", "-h", mirrored)
rows = table(r.stdout) if r.returncode == 0 else []
check(len(rows) == 2 and abs(float(rows[0]["primary_right_deg"]) + 6) < 0.01
      and float(rows[0]["thickness_deg"]) < 0.01,
      f"--signs -h: the same plane, the primary position in the file's signs ({r.stdout!r})")

# Blinks: the left eye lost for 120 ms, both for 200 ms, the right for 1 s.
blinky = os.path.join(work, "blinks.txt")
write(blinky, positions[:4], hold=1.0,
      blinks=((3, 0.5, 0.62), (3, 1.5, 1.7), (10, 1.5, 1.7), (10, 2.2, 3.2)))
events = os.path.join(work, "events.tsv")
r = run("--events", events, "--report", blinky)
with open(events) if os.path.exists(events) else open(os.devnull) as f:
    lines = [line.rstrip("\n").split("\t") for line in f]
kinds = [(row[2], row[3]) for row in lines[1:]]
check(r.returncode == 0 and lines[0][:6] == ["onset", "duration", "trial_type", "eye", "amplitude_deg",
                                              "peak_velocity_deg_s"]
      and ("blink", "left") in kinds and ("blink", "both") in kinds and ("loss", "right") in kinds
      and kinds.count(("saccade", "both")) == 2 and ("saccade", "left") in kinds,
      f"--events lists blinks, a binocular blink, a loss, binocular saccades and the left eye's "
      f"saccade while the right is lost ({kinds}, {r.stderr!r})")
blink = next((row for row in lines[1:] if row[2:4] == ["blink", "left"]), None)
check(blink is not None and abs(float(blink[0]) - 0.49) < 0.005 and abs(float(blink[1]) - 0.14) < 0.005
      and blink[4] == "n/a",
      f"a blink's onset and duration include 10 ms either side; n/a where no amplitude exists ({blink})")
# The sample recording fits Listing's law as Fick angles: read as
# Helmholtz angles, the report and the viewer say so.
r = run("--report", "--convention", "helmholtz", os.path.join(os.path.dirname(BINARY), "..", "data", "test.txt"))
check("better as Fick angles: --convention fick" in r.stderr, f"the report's hint ({r.stderr!r})")
v, window = viewer_or_finish(["--convention", "helmholtz", "test.txt"], "the viewer starts")
g = geometry(window)
words = ocr_until(None, "report-hint", "Fick", crop=f"195x60+{g['X']}+{g['Y'] + 240}", light=True)
check(near(words, "better as Fick angles"), f"the viewer's hint ({words!r})")
v.stop()

# The Listing view of the eye made from the law: its plane, as the report.
v, window = viewer_or_finish([listing], "the viewer starts on the Listing recording")
g = geometry(window)
mark = v.trace.mark()
v.key("l")
words = ocr_until(None, "report-listing", "10.0", crop=f"200x60+{g['X']}+{g['Y'] + 240}", light=True)
check(near(words, "left: primary position 6.0") and near(words, "right 10.0") and near(words, "0.00"),
      f"l shows each eye's primary position and thickness ({words!r})")
v.stop()

# e: the events in the picture and the time plot: the saccades' lines
# three times as wide (more blue), blinks and saccades shaded in the plot.
v, window = viewer_or_finish(["--plot", blinky], "the viewer starts on the blinks")
before = v.shot("report-events-off")
mark = v.trace.mark()
v.key("e")
found = v.trace.wait("events", mark)
after = v.shot("report-events-on")
shaded = after.count(lambda r, g, b: (r, g, b) in ((204, 242, 204), (209, 209, 230)), (0, 200, 300, 300))
check(found is not None and v.trace.lines[found] == f"events {len(kinds) + kinds.count(('blink', 'both')) + kinds.count(('saccade', 'both'))}"
      and after.count(is_blue) > 1.5 * before.count(is_blue) and shaded > 200,
      f"e draws the page's events: wide saccades, shaded spans ({v.trace.lines[found] if found else None}, "
      f"{before.count(is_blue)} -> {after.count(is_blue)} blue, {shaded} shaded)")
v.key("v")
strip = v.shot("report-vergence")
# Both eyes alike: the three vergences are 0, drawn one over another
# (green, purple, then orange on top).
traced = strip.count(lambda r, g, b: r > 200 and 110 < g < 145 and b < 30, (0, 200, 300, 300))
check(traced > 100, f"v adds the vergence strip to the time plot ({traced} orange pixels)")
v.stop()

# A recording of 60000 samples at 1000 Hz: a blink of the left eye across
# the first page's end (sample 50000, 50 s) is found once, whole.
long = os.path.join(work, "long.txt")
write(long, positions[:3], rate=1000, hold=20, blinks=((3, 49.95, 50.07),))
r = run("--events", events, "--report", long)
rows = table(r.stdout) if r.returncode == 0 else []
with open(events) as f:
    blinks = [line.split("\t") for line in f if "\tblink\t" in line]
check(len(rows) == 2 and rows[0]["samples"] == "60000" and rows[0]["blinks"] == "1"
      and len(blinks) == 1 and abs(float(blinks[0][0]) - 49.94) < 0.002
      and abs(float(blinks[0][1]) - 0.14) < 0.002,
      f"a blink across two pages is one blink, every sample counted once ({rows}, {blinks})")

r = run("--report", "--convention", "listing", blinky)
check(r.returncode == 2 and "fick or helmholtz" in r.stderr, f"a wrong convention: status 2 ({r.stderr!r})")
finish()
