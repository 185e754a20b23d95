#!/usr/bin/env bash
# Installs every system package needed to build, run and test Quelvist on
# Debian 12. Safe to run again; uses sudo when not root.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  build-essential cmake pkg-config clang-format
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0 mesa-utils
  libgtk-3-dev libpng-dev libgl2ps-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool xclip imagemagick tesseract-ocr tesseract-ocr-eng
  poppler-utils librsvg2-bin ghostscript
  locales python3
  desktop-file-utils dpkg-dev file man-db g++-mingw-w64-x86-64
  ffmpeg
)

# Further packages may be named on the command line (tools/windows.sh).
missing=()
for p in "${PACKAGES[@]}" "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The reader is tested under a German locale (decimal comma in the C library).
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
