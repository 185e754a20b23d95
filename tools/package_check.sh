#!/usr/bin/env bash
# Builds the .deb, installs it on this machine, and checks the installed
# program: started from another directory on the installed sample, it finds
# its images.dat and draws the recording. Needs DISPLAY (tools/test.sh sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUELVIST_TESTS=OFF -DQUELVIST_BENCHMARKS=OFF >/dev/null
cmake --build build-deb -j"$(nproc)" >/dev/null
(cd build-deb && cpack -G DEB >/dev/null)
deb=$(ls build-deb/quelvist_*.deb | head -n 1)
echo "built $deb"
$SUDO apt-get install -y -q --reinstall "./$deb" >/dev/null

desktop-file-validate /usr/share/applications/quelvist.desktop
man -w quelvist >/dev/null
test -f /usr/share/icons/hicolor/48x48/apps/quelvist.png

QUELVIST_SCREENSHOTS="$PWD/build-deb/screenshots" \
  python3 tests/e2e/check_installed.py /usr/bin/quelvist /usr/share/quelvist
