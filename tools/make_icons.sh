#!/usr/bin/env bash
# Renders data/icons/quelvist.svg to the PNG sizes of the desktop's icon theme
# (needs rsvg-convert, package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" quelvist.svg -o "quelvist-$size.png"
done
