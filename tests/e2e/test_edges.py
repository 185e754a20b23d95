"""A researcher's numbers do not change at a file's edges: a blank line at
the end, a clock that restarts, torsion that was not tracked, a file with
too few columns, a flat velocity, runs and gaps exactly at the limits of
the saccade rules (on any page), margins around a gap, events at the first
and last sample, losses longer than the overlap of two pages. Every
expected value comes from the rules themselves, worked out here."""
import math
import os
import subprocess
import tempfile

from harness import BINARY, DATA, check, child_env, finish, read_png

work = tempfile.mkdtemp(prefix="quelvist-edges-")
env = child_env()
env.pop("DISPLAY", None)
SAMPLE = os.path.join(DATA, "test.txt")
HEADER = "Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS\n"


def run(*args):
    return subprocess.run([BINARY, *args], capture_output=True, text=True, env=env, cwd=work)


def report(path, *options):
    r = run("--report", *options, path)
    lines = [line.split("\t") for line in r.stdout.splitlines()]
    rows = [dict(zip(lines[0], row)) for row in lines[1:]] if lines else []
    return r, rows


def events(path):
    out = os.path.join(work, os.path.basename(path) + f".{len(os.listdir(work))}.tsv")
    r = run("--events", out, path)
    if r.returncode != 0:
        return r, []
    with open(out) as f:
        lines = [line.rstrip("\n").split("\t") for line in f]
    return r, [dict(zip(lines[0], row)) for row in lines[1:]]


def write(name, text):
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def line(time, left, right):
    """One sample: left and right are (h, v, t) as written (strings or numbers)."""
    cells = lambda eye: "\t".join(str(x) for x in eye)
    return f"{time:.4f}\t0\t0\t{cells(left)}\t0\t1\t0\t0\t{cells(right)}\t0\t1\n"


with open(SAMPLE) as f:
    sample = f.read().split("\n")
header_at = next(i for i, text in enumerate(sample) if text.startswith("Time"))
preamble, rows = sample[:header_at + 1], [text for text in sample[header_at + 1:] if text]


def sample_with(rows_):
    return "\n".join(preamble + rows_) + "\n"


def with_cells(columns, value):
    out = []
    for text in rows:
        cells = text.split("\t")
        for c in columns:
            cells[c] = value
        out.append("\t".join(cells))
    return out


_, plain = report(SAMPLE)

# 1. A blank line at the end: the same report, one more sample, missing.
r, blank = report(write("blank.txt", sample_with(rows) + "\n"))
same = len(blank) == 2 and all(
    int(b["samples"]) == int(p["samples"]) + 1 and int(b["missing"]) == int(p["missing"]) + 1
    and all(b[k] == p[k] for k in p if k not in ("samples", "missing"))
    for b, p in zip(blank, plain))
check(same, f"a trailing blank line changes only samples and missing ({blank} against {plain})")
_, with_blank = events(os.path.join(work, "blank.txt"))
_, without = events(SAMPLE)
check(with_blank == without and len(without) > 20,
      f"and no event ({len(with_blank)} events against {len(without)})")

# 2. A clock that restarts: part of the recording twice over, the second
# Time from 0 again, on one page (the velocity spread of the same samples
# twice is theirs). Every count doubles and the planes stay; nothing is
# joined across the restart.
_, plain = report(write("part.txt", sample_with(rows[:12000])))
r, twice = report(write("twice.txt", sample_with(rows[:12000] + rows[:12000])))
check(len(twice) == 2 and all(
    int(t[k]) == 2 * int(p[k]) for t, p in zip(twice, plain)
    for k in ("samples", "saccades", "blinks", "fixation_samples")) and all(
    abs(float(t[k]) - float(p[k])) < 2e-6 for t, p in zip(twice, plain) for k in ("plane_b", "plane_c")),
    f"a clock that restarts: twice the counts, the same planes ({twice}, {plain})")
_, plain = report(SAMPLE)

# 3. Torsion not tracked (NaN, or 0 throughout): the samples stay, the
# saccades and fixations are those of the file with torsion; no plane.
for name, value in (("NaN", "NaN"), ("empty", ""), ("zero", "0")):
    r, none = report(write(f"torsion-{name}.txt", sample_with(with_cells((5, 12), value))))
    check(len(none) == 2 and all(
        n["missing"] == p["missing"] and n["saccades"] == p["saccades"]
        and n["fixation_samples"] == p["fixation_samples"] and n["plane_b"] == "n/a"
        for n, p in zip(none, plain)) and r.stderr.count("no torsion recorded") == 2
        and r.stderr.count("quick phases found on horizontal and vertical only") == 2,
        f"torsion {name} throughout: samples kept, no plane, said ({none}, {r.stderr!r})")
# Torsion lost in every third sample: those are left out of the plane only.
partly = [text if i % 3 else "\t".join(c if k not in (5, 12) else "NaN"
                                       for k, c in enumerate(text.split("\t")))
          for i, text in enumerate(rows)]
r, some = report(write("torsion-some.txt", sample_with(partly)))
check(len(some) == 2 and all(
    s["saccades"] == p["saccades"] and s["fixation_samples"] == p["fixation_samples"]
    and abs(float(s["plane_b"]) - float(p["plane_b"])) < 0.01 for s, p in zip(some, plain)),
    f"torsion lost in every third sample: the same events, a plane of the rest ({some})")

# 4. Too few columns: said, status 2, in every mode that writes.
narrow = write("narrow.txt", "Time\tHor\tVer\n" + "".join(f"{i / 100:.2f}\t1\t2\n" for i in range(50)))
message = "No samples: the eye columns start at column 4; this file has 3 columns"
for mode in (["--report"], ["--snapshot", os.path.join(work, "narrow.png")],
             ["--movie", os.path.join(work, "narrow.mp4")]):
    r = run(*mode, narrow)
    check(r.returncode == 2 and message in r.stderr,
          f"{mode[0]} on a file of three columns: status 2 and why ({r.returncode}, {r.stderr!r})")

# 5. A vertical trace quantised to 0.1 deg with a one-sample flicker every
# 0.5 s, under a slow horizontal pursuit, 100 Hz for 20 s. The median
# spread of the vertical velocity is 0; the mean's is not: at the flickers
# v = 100 * 0.1 / 6 = 1.67 deg/s against 6 * 0.47 = 2.8, and no saccade.
flicker = []
for i in range(2000):
    h = 2 * math.sin(2 * math.pi * 0.1 * i / 100)
    v = 0.1 if i % 50 == 25 else 0.0
    flicker.append(line(i / 100, (f"{h:.3f}", f"{v:.1f}", 0.5), (f"{h:.3f}", f"{v:.1f}", 0.5)))
r, rows_ = report(write("flicker.txt", HEADER + "".join(flicker)))
check(len(rows_) == 2 and all(row["saccades"] == "0" for row in rows_),
      f"a quantised flicker is no saccade ({[row['saccades'] for row in rows_]})")
flat = [text.replace("\t0.1\t", "\t0.0\t") for text in flicker]
r, rows_ = report(write("flat.txt", HEADER + "".join(flat)))
check(len(rows_) == 2 and all(row["saccades"] == "0" for row in rows_)
      and r.stderr.count("vertical velocity never varies") == 2,
      f"a vertical velocity that never varies: no saccades, and why ({r.stderr!r})")

# 6. The saccade rules in samples, 500 Hz. A ramp of m steps of s degrees
# gives the 5-point velocity f s {1/6, 1/2, 5/6, 1, ..., 5/6, 1/2, 1/6}: m + 3
# samples far above the tremor's threshold. A run of k samples lasts k/f
# (12 ms: k >= 6 counts), a gap of g samples (g + 1)/f (< 10 ms: g <= 3
# merges). Each case twice: early in the file and on its third page.
RATE = 500
cases = [  # (first ramp's steps, second ramp's steps or 0, gap between runs)
    (2, 0, 0),   # a run of 5 samples: 10 ms, dropped
    (3, 0, 0),   # 6 samples: exactly 12 ms, kept
    (3, 3, 3),   # two runs 8 ms apart: merged, one saccade
    (3, 3, 4),   # two runs exactly 10 ms apart: two saccades
    (2, 2, 3),   # two short runs merged: 5 + 4 + 5 = 14 samples, one saccade
]


def expected_saccades(m1, m2, g):
    k1, k2 = m1 + 3, m2 + 3
    if not m2:
        return int(k1 >= 6)
    if g + 1 < 0.010 * RATE:
        return int(k1 + g + k2 >= 6)
    return int(k1 >= 6) + int(k2 >= 6)


def ramp_file(starts):
    """Fixation with a tremor; each case's ramps start at the given rows."""
    n = 140000
    h = [0.0] * n
    offset = [0.0] * n
    for (m1, m2, g), p in starts:
        s = 1.0
        for i in range(p, n):
            offset[i] += s * min(max(i - p, 0), m1)
        if m2:
            # The second ramp's nonzero velocities start g samples after
            # the first's end (row p + m1 + 1): at row p2 - 1.
            p2 = p + m1 + 1 + g + 2
            for i in range(p2, n):
                offset[i] -= s * min(max(i - p2, 0), m2)
    out = [HEADER]
    for i in range(n):
        tremor = 0.002 * math.sin(i * 2.1) + 0.002 * math.cos(i * 0.7)
        x = offset[i] + tremor
        out.append(f"{i / RATE:.3f}\t0\t0\t{x:.5f}\t{-tremor:.5f}\t0.5\t0\t1\t0\t0\t{x:.5f}\t{-tremor:.5f}\t0.5\t0\t1\n")
    return "".join(out)


placed = []
for c, case in enumerate(cases):
    for base in (2000, 115000):  # the third page holds rows from 100000 on
        placed.append((case, base + c * 1000))
r, found = events(write("rules.txt", ramp_file(placed)))
for case, p in placed:
    t0, t1 = (p - 10) / RATE, (p + 40) / RATE
    got = sum(1 for e in found if e["trial_type"] == "saccade" and t0 <= float(e["onset"]) < t1)
    check(got == expected_saccades(*case),
          f"steps {case[0]}+{case[1]}, gap {case[2]} at {p / RATE:.0f} s: "
          f"{expected_saccades(*case)} saccade(s) ({got})")

# 7. Margins of 10 ms each side of a gap, and events within the samples.
# Fixation only, both eyes lost for 5 samples from row 100 and the first and
# last 3 samples lost too. At 99 Hz no sample lies within 10 ms of a gap;
# at 100 Hz exactly one on each side.
for rate, margin_rows in ((99, 0), (100, 1)):
    lost = set(range(100, 105)) | {0, 1, 2, 297, 298, 299}
    text = HEADER
    for i in range(300):
        eye = ("", "", "") if i in lost else (f"{1 + 0.01 * math.sin(i):.4f}", "2.0000", "0.5000")
        text += line(i / rate, eye, eye)
    path = write(f"margins{rate}.txt", text)
    r, rows_ = report(path)
    fixation = 300 - len(lost) - 2 * margin_rows - margin_rows - margin_rows
    check(len(rows_) == 2 and all(int(row["fixation_samples"]) == fixation for row in rows_),
          f"{rate} Hz: 10 ms margins each side ({[row['fixation_samples'] for row in rows_]}, "
          f"expected {fixation})")
    r, found = events(path)
    onsets = [float(e["onset"]) for e in found]
    ends = [float(e["onset"]) + float(e["duration"]) for e in found]
    end = 300 / rate  # the last sample's time and its own 1/f
    check(found and abs(min(onsets)) < 1e-9 and abs(max(ends) - end) < 1e-3
          and abs(float(found[0]["duration"]) - float(found[-1]["duration"])) < 1e-4
          and abs(float(found[0]["duration"]) - (3 / rate + 0.01)) < 1e-4,
          f"{rate} Hz: the first loss starts at the first sample, the last ends with the last, "
          f"both 3 samples and one margin long ({[(e['onset'], e['duration']) for e in found]})")

# 8. Losses longer than the overlap of two pages, and longer than a page:
# 250 Hz, 120000 rows, a jump of 5 deg every 2 s; the eyes lost over the
# rows given. The events file stays in order of onset.
def loss_file(first, last, both):
    out = [HEADER]
    for i in range(120000):
        h = 5.0 * ((i // 500) % 2) + 0.05 * math.sin(i * 2.1)
        eye = (f"{h:.4f}", "1.0000", "0.3000")
        lost = first <= i <= last
        out.append(line(i / 250, ("", "", "") if lost else eye, ("", "", "") if lost and both else eye))
    return "".join(out)


for first, last, both in ((96500, 99499, True), (30000, 99999, False)):
    r, found = events(write("loss.txt", loss_file(first, last, both)))
    losses = [e for e in found if e["trial_type"] == "loss"]
    seconds = (last - first + 1) / 250 + 0.02
    onsets = [float(e["onset"]) for e in found]
    check(len(losses) == 1 and losses[0]["eye"] == ("both" if both else "left")
          and abs(float(losses[0]["onset"]) - (first / 250 - 0.01)) < 1e-3
          and abs(float(losses[0]["duration"]) - seconds) < 1e-3 and onsets == sorted(onsets),
          f"a loss of rows {first}-{last} is one loss of {seconds:.2f} s, in order of onset "
          f"({[(e['onset'], e['duration'], e['eye']) for e in losses]}, "
          f"{len(found)} events, sorted: {onsets == sorted(onsets)})")

# 9. A Listing movie shows every page as rotation vectors: a recording of
# two pages, the second looking far up and to the side, where Fick angles
# and rotation vectors part by degrees. The movie's last frame (the second
# page whole) is the Listing snapshot of that page, not the plain one.
two = [HEADER]
for i in range(53000):
    t = i / 1000
    if i < 50000:
        h, v = 2 * math.sin(t), 2 * math.cos(t)
    else:
        a = 2 * math.pi * (i - 50000) / 3000
        h, v = 30 + 10 * math.cos(a), 30 + 10 * math.sin(a)
    two.append(line(t, (f"{h:.3f}", f"{v:.3f}", "0.5"), (f"{h - 1:.3f}", f"{v:.3f}", "0.5")))
two_pages = write("two-pages.txt", "".join(two))
movie = os.path.join(work, "listing.mp4")
r = run("--movie", movie, "--listing", "--clean", "--hide", "drum", "--distance", "80", "--fps", "1",
        "--speed", "25", "--size", "320x240", two_pages)
frames = os.path.join(work, "frames")
os.makedirs(frames, exist_ok=True)
if r.returncode == 0:
    subprocess.run(["ffmpeg", "-v", "error", "-i", movie, os.path.join(frames, "%04d.png")], check=True)
last = os.path.join(frames, sorted(os.listdir(frames))[-1]) if os.listdir(frames) else None
shots = {}
for name, extra in (("listing", ["--listing"]), ("plain", [])):
    shots[name] = os.path.join(work, f"page2-{name}.png")
    run("--snapshot", shots[name], *extra, "--clean", "--hide", "drum", "--distance", "80", "--from", "50",
        "--size", "320x240", two_pages)
if last:
    end = read_png(last)
    apart = {}
    for name, path in shots.items():
        shot = read_png(path)
        apart[name] = sum(1 for y in range(240) for x in range(320)
                          if max(abs(p - q) for p, q in zip(end.at(x, y), shot.at(x, y))) > 60)
else:
    apart = {}
check(r.returncode == 0 and apart and apart["listing"] * 2 < apart["plain"],
      f"--listing --movie: the second page in rotation vectors ({apart}, {r.stderr[-200:]!r})")

finish()
