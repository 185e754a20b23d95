#!/usr/bin/env python3
"""Writes a binocular recording with nystagmus, as the tests describe it:
250 Hz, both eyes drifting at H -2, V 0, T +5 deg/s for 0.46 s, then a
0.04 s raised-cosine quick phase (H +0.92, T -2.3 deg), 40 cycles, noise of
0.03 deg on every component. --varied scales each quick phase (and the
drift before it) by a factor from 0.5 to 3, so the saccades spread along
the main sequence. --rate and --slow change the sampling rate and how long
each slow phase lasts (the quick phase then resets what it drifted)."""
import argparse
import math
import random

parser = argparse.ArgumentParser(description=__doc__)
parser.add_argument("-o", "--output", required=True)
parser.add_argument("--seconds", type=float, default=20)
parser.add_argument("--seed", type=int, default=4)
parser.add_argument("--varied", action="store_true")
parser.add_argument("--rate", type=float, default=250)
parser.add_argument("--slow", type=float, default=0.46)
args = parser.parse_args()

rng = random.Random(args.seed)
slow = args.slow
period = slow + 0.04
cycles = int(args.seconds / period)
sizes = [0.5 + 2.5 * rng.random() if args.varied else 1.0 for _ in range(cycles + 1)]
lines = ["Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS"]
for i in range(int(round(args.seconds * args.rate))):
    t = i / args.rate
    cycle = int(t / period + 1e-9)
    w = t - period * cycle
    k = sizes[min(cycle, cycles)]

    def position(drift):
        if w < slow - 1e-9:
            return k * drift * w
        u = (w - slow) / 0.04
        return k * drift * slow * (1 - (u - math.sin(2 * math.pi * u) / (2 * math.pi)))
    true = (position(-2), 0, position(5))
    eyes = [[p + rng.gauss(0, 0.03) for p in true] for _ in range(2)]
    cells = [f"{t:.4f}" if args.rate > 1000 else f"{t:.3f}", "0", "0", *(f"{p:.4f}" for p in eyes[0]), "0", "1", "0", "0",
             *(f"{p:.4f}" for p in eyes[1]), "0", "1"]
    lines.append("\t".join(cells).replace(".", ","))
with open(args.output, "w") as out:
    out.write("\n".join(lines) + "\n")
