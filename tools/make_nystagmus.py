#!/usr/bin/env python3
"""Writes a binocular recording with nystagmus, as the tests describe it:
250 Hz, both eyes drifting at H -2, V 0, T +5 deg/s for 0.46 s, then a
0.04 s raised-cosine quick phase (H +0.92, T -2.3 deg), 40 cycles, noise of
0.03 deg on every component. --varied scales each quick phase (and the
drift before it) by a factor from 0.5 to 3, so the saccades spread along
the main sequence."""
import argparse
import math
import random

parser = argparse.ArgumentParser(description=__doc__)
parser.add_argument("-o", "--output", required=True)
parser.add_argument("--seconds", type=float, default=20)
parser.add_argument("--seed", type=int, default=4)
parser.add_argument("--varied", action="store_true")
args = parser.parse_args()

rng = random.Random(args.seed)
cycles = int(args.seconds / 0.5)
sizes = [0.5 + 2.5 * rng.random() if args.varied else 1.0 for _ in range(cycles + 1)]
lines = ["Time\tc1\tc2\tLH\tLV\tLT\tc6\tLS\tc8\tc9\tRH\tRV\tRT\tc13\tRS"]
for i in range(int(args.seconds * 250)):
    t = i / 250
    cycle = int(t / 0.5 + 1e-9)
    w = t - 0.5 * cycle
    k = sizes[cycle]

    def position(drift, jump):
        if w < 0.46 - 1e-9:
            return k * drift * w
        u = (w - 0.46) / 0.04
        return k * (drift * 0.46 + jump * (u - math.sin(2 * math.pi * u) / (2 * math.pi)))
    true = (position(-2, 0.92), 0, position(5, -2.3))
    eyes = [[p + rng.gauss(0, 0.03) for p in true] for _ in range(2)]
    cells = [f"{t:.3f}", "0", "0", *(f"{p:.4f}" for p in eyes[0]), "0", "1", "0", "0",
             *(f"{p:.4f}" for p in eyes[1]), "0", "1"]
    lines.append("\t".join(cells).replace(".", ","))
with open(args.output, "w") as out:
    out.write("\n".join(lines) + "\n")
