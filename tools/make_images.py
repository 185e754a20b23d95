#!/usr/bin/env python3
"""Writes data/images.dat, the image on the label drum: 128x128 raw RGB
(49152 bytes, no header), four strips of 32 rows, one per face of the drum.

Within a strip the first row in the file lies along the face's bottom edge
and the first column at its left end, so text is written bottom-up; only the
left 100 columns are shown. The four corner texels are white: the drawing
takes its tint from them, and white leaves every colour as it is.

    tools/make_images.py            # writes data/images.dat
"""
import sys

SIZE = 128
STRIP = 32
VISIBLE = 100

FONT = {
    " ": ["00000"] * 7,
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
}

# Strip i is shown on the face at t = i/4 .. (i+1)/4; strip 3 faces the
# viewer first, then 2, 1 and 0 as the drum turns.
STRIPS = [
    ("TORSION", "F11 UP  F12 DOWN", (60, 60, 60), (255, 230, 120)),
    ("RIGHT", "WHITE TO RED", (150, 20, 20), (255, 255, 255)),
    ("LEFT EYE", "WHITE TO BLUE", (20, 40, 160), (255, 255, 255)),
    ("QUELVIST", "EYE PATHS IN 3D", (30, 30, 30), (120, 255, 140)),
]


def draw_text(pixels, strip, text, scale, top, colour):
    """Draws text with its top edge `top` rows below the strip's top edge;
    the strip's top edge is its last row in the file."""
    width = len(text) * 6 * scale - scale
    left = max(0, (VISIBLE - width) // 2)
    for n, ch in enumerate(text):
        glyph = FONT[ch]
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit != "1":
                    continue
                for sy in range(scale):
                    for sx in range(scale):
                        x = left + (n * 6 + gx) * scale + sx
                        down = top + gy * scale + sy  # rows below the top edge
                        y = strip * STRIP + (STRIP - 1 - down)
                        if 0 <= x < VISIBLE:
                            pixels[y][x] = colour


def make():
    pixels = [[(255, 255, 255)] * SIZE for _ in range(SIZE)]
    for strip, (big, small, background, ink) in enumerate(STRIPS):
        for row in range(strip * STRIP, (strip + 1) * STRIP):
            for x in range(SIZE):
                pixels[row][x] = background
        draw_text(pixels, strip, big, 2, 3, ink)
        draw_text(pixels, strip, small, 1, 21, ink)
    for y in (0, SIZE - 1):
        for x in (0, SIZE - 1):
            pixels[y][x] = (255, 255, 255)
    return bytes(c for row in pixels for px in row for c in px)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "data/images.dat"
    data = make()
    assert len(data) == SIZE * SIZE * 3
    with open(path, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
