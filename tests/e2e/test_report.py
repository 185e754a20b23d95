"""A researcher asks for each eye's numbers and the events of a recording
without a window: --report on an eye that obeys Listing's law (positions
made here from the law itself, through rotation matrices), under both
conventions and with flipped signs; --events with blinks, as a BIDS file
with its sidecar; the saccade rules a study sets (threshold, shortest,
smallest) in the table, the report, the sidecar and key e; no display
needed."""
import json
import math
import os
import re
import subprocess
import sys
import tempfile

from harness import (BINARY, DATA, check, child_env, finish, geometry, is_blue, near, ocr_until,
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

# The saccade rules a study sets, and the sidecar that says how a table was
# made. Jumps of known sizes (degrees, horizontal and vertical at once)
# between fixations of 0.3 s at 250 Hz: each is a saccade of both eyes.
path = [(0, 0)]
for size, angle in ((0.5, 0), (3, 90), (1, 200), (6, 30), (0.8, 270), (2.5, 180), (4, 300),
                    (0.6, 45), (1.6, 135), (8, 225)):
    h, v = path[-1]
    path.append((h + size * math.cos(math.radians(angle)), v + size * math.sin(math.radians(angle))))
sized = os.path.join(work, "sized.txt")
write(sized, [(h + 1, v + 1, 0.5) for h, v in path])  # off the origin: (0, 0, 0) is missing
jumps = [math.hypot(b[0] - a[0], b[1] - a[1]) for a, b in zip(path, path[1:])]
VERSION = re.search(r"project\(Quelvist VERSION ([0-9.]+)",
                    open(os.path.join(os.path.dirname(DATA), "CMakeLists.txt")).read()).group(1)


def events_run(name, *options):
    """--events into name (and its sidecar) with options: the status, the
    table's rows as dicts, the sidecar parsed, standard error."""
    tsv = os.path.join(work, name)
    r = run("--events", tsv, *options)
    rows, sidecar = [], None
    if r.returncode == 0 and os.path.exists(tsv):
        rows = table(open(tsv).read())
    json_path = tsv[:-4] + ".json" if tsv.endswith(".tsv") else tsv + ".json"
    if os.path.isfile(json_path):
        try:
            sidecar = json.load(open(json_path, encoding="utf-8"))
        except ValueError as error:
            sidecar = {"not JSON": str(error)}
    return r, rows, sidecar


for smallest in (0, 0.7, 1.2, 2.8):
    r, rows, sidecar = events_run("sized.tsv", "--saccade-min-amplitude", str(smallest), sized)
    kept = [j for j in jumps if j >= smallest]
    found = [float(row["amplitude_deg"]) for row in rows if row["trial_type"] == "saccade"]
    check(r.returncode == 0 and len(found) == len(kept)
          and all(row["eye"] == "both" for row in rows)
          and all(abs(a - b) < 0.01 for a, b in zip(found, kept)),
          f"--saccade-min-amplitude {smallest}: the saccades of at least that size and no others "
          f"({[round(a, 2) for a in found]}, expected {[round(j, 2) for j in kept]}; {r.stderr!r})")
r = run("--report", "--saccade-min-amplitude", "1.2", sized)
rows = table(r.stdout) if r.returncode == 0 else []
check(len(rows) == 2 and all(row["saccades"] == str(sum(j >= 1.2 for j in jumps)) for row in rows)
      and "lambda 6, at least 12 ms and 2 samples, at least 1.2 deg" in r.stderr
      and "samples at 250 Hz" in r.stderr,
      f"--report counts the same saccades and names the rules it used ({rows}, {r.stderr!r})")

# Every column of the table described in the sidecar, with its units; the
# rules given, the convention, the signs, the rate and the version in it.
r, rows, sidecar = events_run("study.tsv", "--saccade-lambda", "7,5", "--saccade-min-ms", "20",
                              "--saccade-min-amplitude", "0.7", "--convention", "helmholtz",
                              "--signs", "-h", "--from", "0.5", sized)
columns = open(os.path.join(work, "study.tsv")).readline().rstrip("\n").split("\t") \
    if r.returncode == 0 else []
units = {"onset": "s", "duration": "s", "amplitude_deg": "deg", "peak_velocity_deg_s": "deg/s"}
units.update({f"{end}_{axis}": "deg" for end in ("start", "end")
              for axis in ("horizontal", "vertical", "torsion")})
described = sidecar or {}
detection = described.get("SaccadeDetection", {})
check(len(columns) == 12 and all(isinstance(described.get(c), dict) and described[c].get("Description")
                                 for c in columns)
      and all(described[c].get("Units") == u for c, u in units.items())
      and set(described.get("trial_type", {}).get("Levels", {})) == {"saccade", "blink", "loss"}
      and set(described.get("eye", {}).get("Levels", {})) == {"left", "right", "both"},
      f"the sidecar describes every column with its units ({columns}, {sorted(described)})")
check(detection.get("VelocityThresholdLambda") == 7.5 and detection.get("MinimumDurationMs") == 20
      and detection.get("MinimumAmplitudeDeg") == 0.7 and "Engbert" in detection.get("Method", "")
      and described.get("SamplingFrequency") == 250 and described.get("AngleConvention") == "helmholtz"
      and described.get("AxisSigns", {}).get("horizontal") == "positive left"
      and "positive left" in described.get("start_horizontal", {}).get("Description", "")
      and described.get("TimeSelection") == {"From": 0.5, "To": None}
      and described.get("GeneratedBy", [{}])[0].get("Version") == VERSION,
      f"the sidecar records the rules, convention, signs, rate, range and version ({described})")
r, rows, sidecar = events_run("named.txt", sized)
check(r.returncode == 0 and sidecar is not None and os.path.exists(os.path.join(work, "named.txt.json"))
      and not os.path.exists(os.path.join(work, "named.json")),
      f"a table not named .tsv gets its name with .json added ({r.stderr!r})")

# Realistic noise: a higher threshold finds fewer saccades.
noisy = os.path.join(work, "noisy.txt")
subprocess.run(["python3", os.path.join(os.path.dirname(DATA), "tools", "make_recording.py"),
                "--rows", "20000", "--seed", "11", "-o", noisy], check=True, stdout=subprocess.DEVNULL)
counts = {}
for lam in ("6", "10"):
    r, rows, sidecar = events_run(f"lambda{lam}.tsv", "--saccade-lambda", lam, noisy)
    counts[lam] = sum(row["trial_type"] == "saccade" for row in rows) if r.returncode == 0 else -1
check(0 < counts["10"] < counts["6"], f"lambda 10 finds fewer saccades than lambda 6 ({counts})")

# Values out of range: a message, status 2, no file.
for option, value in (("--saccade-lambda", "0"), ("--saccade-lambda", "-2"),
                      ("--saccade-lambda", "nan"), ("--saccade-lambda", "inf"),
                      ("--saccade-min-ms", "-1"), ("--saccade-min-ms", "12ms"),
                      ("--saccade-min-amplitude", "-0.1"), ("--saccade-min-amplitude", "")):
    r, rows, sidecar = events_run("wrong.tsv", option, value, sized)
    check(r.returncode == 2 and option in r.stderr and not os.path.exists(os.path.join(work, "wrong.tsv"))
          and sidecar is None,
          f"{option} {value!r}: status 2 and a message, nothing written ({r.returncode}, {r.stderr!r})")

# Both files or a clear failure: a sidecar that may not be written stops
# the run before anything is read, and the table of an earlier run stays.
kept_table = open(os.path.join(work, "study.tsv")).read()
os.remove(os.path.join(work, "study.json"))
os.mkdir(os.path.join(work, "study.json"))
r, rows, sidecar = events_run("study.tsv", sized)
check(r.returncode == 2 and "study.json: it is a folder" in r.stderr
      and open(os.path.join(work, "study.tsv")).read() == kept_table
      and not [f for f in os.listdir(work) if ".partial-" in f],
      f"a sidecar that cannot be written: status 2, the table as it was ({r.stderr!r})")
os.rmdir(os.path.join(work, "study.json"))
with open(os.path.join(work, "study.json"), "w") as f:
    f.write('{"Description": "somebody\'s own notes"}\n')
r, rows, sidecar = events_run("study.tsv", sized)
check(r.returncode == 2 and "--force" in r.stderr and sidecar == {"Description": "somebody's own notes"},
      f"another's JSON of that name needs --force ({r.stderr!r})")
r, rows, sidecar = events_run("study.tsv", "--force", sized)
r2, rows2, sidecar2 = events_run("study.tsv", sized)
check(r.returncode == 0 and r2.returncode == 0 and sidecar2 and "GeneratedBy" in sidecar2
      and "wrote " in r2.stderr and "study.json" in r2.stderr,
      f"with --force, then without: its own sidecar is written over ({r.stderr!r}, {r2.stderr!r})")
# A table this program wrote before its columns were named in full.
older = os.path.join(work, "older.tsv")
with open(older, "w") as f:
    f.write("onset\tduration\ttrial_type\teye\tamplitude_deg\tpeak_velocity_deg_s\tstart_h\t"
            "start_v\tstart_t\tend_h\tend_v\tend_t\n")
r, rows, sidecar = events_run("older.tsv", sized)
check(r.returncode == 0 and rows and "start_torsion" in rows[0],
      f"a table of the columns' old names is written over without --force ({r.stderr!r})")

# A recording without torsion (its cells empty): the table says n/a there,
# not a torsion of 0 that was never measured.
untorted = os.path.join(work, "untorted.txt")
with open(sized) as f, open(untorted, "w") as out:
    for number, line in enumerate(f):
        cells = line.rstrip("\n").split("\t")
        if number > 0:
            cells[5] = cells[12] = ""
        out.write("\t".join(cells) + "\n")
r, rows, sidecar = events_run("untorted.tsv", untorted)
saccades = [row for row in rows if row["trial_type"] == "saccade"]
check(r.returncode == 0 and saccades
      and all(row[f"{end}_torsion"] == "n/a" and row[f"{end}_horizontal"] != "n/a"
              for row in saccades for end in ("start", "end")),
      f"no torsion recorded: start_torsion and end_torsion are n/a ({saccades[:2]})")

# Key e finds the events as --events does with the same rules.
r, rows, sidecar = events_run("viewer.tsv", "--saccade-min-amplitude", "2.8", sized)
expected_events = sum(2 if row["eye"] == "both" else 1 for row in rows)
v, window = viewer_or_finish(["--saccade-min-amplitude", "2.8", sized], "the viewer starts with rules")
mark = v.trace.mark()
v.key("e")
found = v.trace.wait("events", mark)
check(found is not None and v.trace.lines[found] == f"events {expected_events}"
      and expected_events == 2 * sum(j >= 2.8 for j in jumps),
      f"key e finds the saccades the rules keep ({v.trace.lines[found] if found else None}, "
      f"expected events {expected_events})")
v.stop()
# Nystagmus: 250 Hz, both eyes drifting at H -2, V 0, T +5 deg/s for 0.46 s,
# then a 0.04 s raised-cosine quick phase of H +0.92, T -2.3 deg, noise of
# 0.03 deg. 20 s give 40 quick phases, 2 a second, and the drifts as the
# median slow-phase velocities; 240 s (five pages) the same per second.
def nystagmus(seconds, seed, *options):
    path = os.path.join(work, f"nystagmus-{seconds}-{seed}{''.join(options)}.txt")
    subprocess.run([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                    "..", "tools", "make_nystagmus.py"), "--seconds", str(seconds), "--seed",
                    str(seed), "-o", path, *options], check=True)
    return path


for seconds, quick in ((20, 40), (240, 480)):
    r = run("--report", nystagmus(seconds, seconds))
    got = table(r.stdout) if r.returncode == 0 else []
    check(len(got) == 2 and all(
        int(e["quick_phases"]) == quick and abs(float(e["quick_phases_per_s"]) - 2) < 0.05
        and abs(float(e["spv_horizontal"]) + 2) <= 0.1 and abs(float(e["spv_vertical"])) <= 0.1
        and abs(float(e["spv_torsion"]) - 5) <= 0.1 for e in got),
        f"{seconds} s of nystagmus: {quick} quick phases, 2 a second, SPV H -2 V 0 T 5 "
        f"({[(e['quick_phases'], e['quick_phases_per_s'], e['spv_horizontal'], e['spv_vertical'], e['spv_torsion']) for e in got]})")
# --events --nystagmus: a row per quick phase and per slow phase of each eye,
# the slow phases with their velocities. The drift's slow phases run from
# one quick phase to the next (the first has none before it): onsets at
# the quick phases' (k + 1) period - 0.04 s, slow phases 10 ms after the
# quick phase before ends. At 1000 Hz with 2.96 s slow phases, 60 s make two
# pages, and the slow phase from 48 s to 50.96 s crosses the first page's
# end: it must be found whole, once.
def phase_rows(rows, kind, eye):
    return [row for row in rows if row["trial_type"] == kind and row["eye"] == eye]


# At 1000 Hz the same 0.03 deg of noise gives five-point velocities of
# about 10 deg/s, and a noise peak up to 10 ms before a quick phase joins
# its run: onsets within 10 ms there, within 2 samples at 250 Hz.
for seconds, rate, slow, pages, early in ((20, 250, 0.46, "one page", 0.008),
                                          (60, 1000, 2.96, "two pages", 0.010)):
    period = slow + 0.04
    cycles = round(seconds / period)
    recording = nystagmus(seconds, 7, "--rate", str(rate), "--slow", str(slow))
    r, rows, sidecar = events_run(f"phases-{rate}.tsv", "--nystagmus", recording)
    with_report, report_rows, _ = events_run(f"phases-{rate}-report.tsv", "--nystagmus", "--report",
                                             recording)
    faults = []
    for eye in ("left", "right"):
        quick = phase_rows(rows, "quick_phase", eye)
        slows = phase_rows(rows, "slow_phase", eye)
        if len(quick) != cycles or any(abs(float(q["onset"]) - ((k + 1) * period - 0.04)) > early
                                      for k, q in enumerate(quick)):
            faults.append(f"{eye} quick phases {[q['onset'] for q in quick]}")
        if len(slows) != cycles - 1 or any(
                abs(float(w["onset"]) - (k + 1) * period - 0.01) > 2 / rate + 0.004
                or abs(float(w["spv_horizontal"]) + 2) > 0.1 or abs(float(w["spv_vertical"])) > 0.1
                or abs(float(w["spv_torsion"]) - 5) > 0.1
                or abs(float(w["duration"]) - (slow - 0.02)) > 0.01 for k, w in enumerate(slows)):
            faults.append(f"{eye} slow phases {[(w['onset'], w['duration'], w['spv_torsion']) for w in slows]}")
    others = [row for row in rows if row["trial_type"] not in ("quick_phase", "slow_phase")]
    if not others or any(row[c] != "n/a" for row in others for c in ("spv_horizontal", "spv_torsion")):
        faults.append(f"saccade rows without n/a velocities {others[:2]}")
    if [float(row["onset"]) for row in rows] != sorted(float(row["onset"]) for row in rows):
        faults.append("rows out of order")
    if report_rows != rows:
        faults.append("the table changes with --report")
    check(r.returncode == 0 and with_report.returncode == 0 and not faults,
          f"{pages} of nystagmus at {rate} Hz: {cycles} quick phases and {cycles - 1} slow phases "
          f"per eye in --events, each slow phase's SPV H -2 V 0 T 5 ({r.stderr.strip()!r}, {faults})")
    columns = sidecar or {}
    described = all(columns.get(f"spv_{axis}", {}).get("Units") == "deg/s"
                    for axis in ("horizontal", "vertical", "torsion"))
    levels = columns.get("trial_type", {}).get("Levels", {})
    rules = columns.get("NystagmusDetection", {})
    check(described and "quick_phase" in levels and "slow_phase" in levels
          and rules.get("VelocityThresholdLambda") == 6 and rules.get("SlowPhaseShortestMs") == 50,
          f"the sidecar describes the phases' rows, columns and rules ({levels}, {rules})")
r, rows, sidecar = events_run("phases-1000.tsv", nystagmus(20, 7))
check(r.returncode == 0 and rows and "spv_torsion" not in rows[0] and "NystagmusDetection" not in sidecar
      and not phase_rows(rows, "slow_phase", "left"),
      f"without --nystagmus the table is as before, written over the one with phases "
      f"({r.stderr.strip()!r}, {list(rows[0]) if rows else None})")
r = run("--report", "--nystagmus-lambda", "5.5", nystagmus(20, 20))
check(r.returncode == 0 and "quick phases after Engbert & Kliegl (2003) on horizontal, vertical "
      "and torsion: lambda 5.5, at least 3 samples" in r.stderr and "torsion not measured" not in r.stderr,
      f"the report names the quick phases' rules it used ({r.stderr.strip()!r})")
r = run("--report", "--nystagmus-lambda", "-1", nystagmus(20, 1))
check(r.returncode == 2 and "--nystagmus-lambda" in r.stderr,
      f"--nystagmus-lambda below 0 is refused ({r.returncode}, {r.stderr.strip()!r})")
finish()
