#!/usr/bin/env python3
"""Writes a realistic binocular eye-movement export like those our users'
video-oculography systems produce: a preamble, a header line that begins with
"Time", then one tab-separated line per sample at 500 Hz, decimal commas.

Columns: 0 time [s], 1 frame, 2 stimulus, 3/4/5 left horizontal, vertical,
torsion [deg], 6 left pupil [mm], 7 left progress (0 at the start, 1 at the
end: the path's shade), 8 marker, 9 right pupil, 10/11/12 right horizontal,
vertical, torsion, 13 right quality, 14 right progress.

    tools/make_recording.py                      # data/test.txt, 30000 rows
    tools/make_recording.py --rows 50000 -o big.txt
"""
import argparse
import math
import random

RATE = 500.0


def comma(value, places):
    return f"{value:.{places}f}".replace(".", ",")


def gaze_path(rows, rng):
    """Yields (horizontal, vertical) of the cyclopean gaze, sample by sample:
    fixations with drift and tremor, main-sequence saccades and stretches of
    smooth pursuit."""
    h, v = 0.0, 0.0
    produced = 0
    while produced < rows:
        kind = rng.random()
        if kind < 0.55:  # fixation
            n = int(rng.uniform(0.15, 0.8) * RATE)
            dh, dv = rng.gauss(0, 0.4), rng.gauss(0, 0.4)
            for i in range(n):
                f = i / n
                yield h + dh * f + rng.gauss(0, 0.03), v + dv * f + rng.gauss(0, 0.03)
            h, v = h + dh, v + dv
        elif kind < 0.85:  # saccade to a new target
            th = max(-18, min(18, rng.gauss(0, 9)))
            tv = max(-15, min(15, rng.gauss(0, 7)))
            amplitude = math.hypot(th - h, tv - v)
            n = max(4, int((2.2 * amplitude + 21) / 1000 * RATE))
            for i in range(n):
                f = (1 - math.cos(math.pi * (i + 1) / n)) / 2
                yield h + (th - h) * f, v + (tv - v) * f
            h, v = th, tv
        else:  # smooth pursuit of a target moving on an ellipse
            n = int(rng.uniform(1.5, 4.0) * RATE)
            freq = rng.uniform(0.2, 0.5)
            ah, av = rng.uniform(5, 12), rng.uniform(3, 9)
            ch, cv = h - ah * math.sin(0), v
            for i in range(n):
                t = i / RATE
                yield (ch + ah * math.sin(2 * math.pi * freq * t) + rng.gauss(0, 0.05),
                       cv + av * (1 - math.cos(2 * math.pi * freq * t)) / 2 + rng.gauss(0, 0.05))
            t = n / RATE
            h = ch + ah * math.sin(2 * math.pi * freq * t)
            v = cv + av * (1 - math.cos(2 * math.pi * freq * t)) / 2
        produced += n
        h, v = max(-19, min(19, h)), max(-19, min(19, v))


def blink_plan(rows, per_minute, seed):
    """Sample ranges in which the tracker lost an eye: (first, end, eyes) with
    eyes "LR" for a blink, "L" or "R" for one eye lost. A separate random
    stream, so that files without blinks stay as they were."""
    rng = random.Random(seed + 1000)
    plan, i = [], 0
    while per_minute > 0:
        i += int(rng.expovariate(per_minute / 60) * RATE) + 1
        n = int(rng.uniform(0.1, 0.25) * RATE)
        if i + n >= rows:
            break
        plan.append((i, i + n, "LR" if rng.random() < 0.8 else rng.choice("LR")))
        i += n
    return plan


def lost(plan, i, eye):
    return any(first <= i < end and eye in eyes for first, end, eyes in plan)


def write(path, rows, seed, blinks=0.0):
    rng = random.Random(seed)
    plan = blink_plan(rows, blinks, seed)
    with open(path, "w", newline="\n") as out:
        out.write("VOG Export\tversion 2.4\n")
        out.write("Subject:\tP07\n")
        out.write("Date:\t03.11.2026\t10:42:17\n")
        out.write("Sampling rate:\t500 Hz\n")
        out.write("Calibration:\t9 points\n")
        out.write("\n")
        out.write("Time\tFrame\tStimulus\tLeftHor\tLeftVer\tLeftTor\tLeftPupil\tLeftProgress"
                  "\tMarker\tRightPupil\tRightHor\tRightVer\tRightTor\tRightQuality"
                  "\tRightProgress\n")
        vergence = 1.5
        tl, tr = 0.0, 0.0
        for i, (h, v) in enumerate(gaze_path(rows, rng)):
            if i >= rows:
                break
            t = i / RATE
            # A slowly wandering vergence offset between the eyes.
            vergence += rng.gauss(0, 0.01) - (vergence - 1.5) * 0.001
            # Torsion: a few degrees, following eccentric gaze, with noise.
            tl += (0.06 * h * v / 10 - tl) * 0.02 + rng.gauss(0, 0.02)
            tr += (0.06 * h * v / 10 - tr) * 0.02 + rng.gauss(0, 0.02)
            lh = h + vergence / 2 + rng.gauss(0, 0.04)
            rh = h - vergence / 2 + rng.gauss(0, 0.04)
            lv = v + rng.gauss(0, 0.04)
            rv = v + 0.3 + rng.gauss(0, 0.04)
            progress = i / (rows - 1) if rows > 1 else 0.0
            fields = [
                comma(t, 3), str(i), "1" if (i // 5000) % 2 else "0",
                comma(lh, 3), comma(lv, 3), comma(tl, 3),
                comma(3.5 + 0.2 * math.sin(t / 7), 2), comma(progress, 4),
                "0", comma(3.4 + 0.2 * math.sin(t / 7), 2),
                comma(rh, 3), comma(rv, 3), comma(tr, 3),
                comma(0.95 + rng.uniform(0, 0.05), 2), comma(progress, 4),
            ]
            # Lost samples: exports write 0, some write text that reads as 0.
            for eye, columns in (("L", (3, 4, 5, 6)), ("R", (9, 10, 11, 12))):
                if lost(plan, i, eye):
                    for c in columns:
                        fields[c] = "0" if eye == "L" else "NaN"
            out.write("\t".join(fields) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-o", "--output", default="data/test.txt")
    parser.add_argument("--rows", type=int, default=30000)
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--blinks", type=float, default=0.0,
                        help="blinks and losses of one eye per minute (default none)")
    args = parser.parse_args()
    write(args.output, args.rows, args.seed, args.blinks)


if __name__ == "__main__":
    main()
