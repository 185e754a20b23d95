#!/usr/bin/env bash
# Sets up, builds and runs every test. The GL and end-to-end tests need an X
# server: a private Xvfb is started for the run and stopped afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/build.sh

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
# -noreset: otherwise the server resets whenever its last client leaves, and
# a program connecting at that moment fails to open the display.
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
export DISPLAY=":$display" NO_AT_BRIDGE=1
export QUELVIST_SCREENSHOTS="$PWD/build/screenshots"
ctest --test-dir build --output-on-failure "$@"

# The Windows build (MinGW-w64), its tests under Wine on the same X server.
bash tools/windows.sh
python3 tests/e2e/windows_wine.py build-win build/quelvist data

# The .deb: built, installed on this machine, the installed program checked.
bash tools/package_check.sh

# The same tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Mesa's driver is preloaded into the programs under test, so that it is
# never unloaded and leak reports from inside it name their library.
QUELVIST_CHILD_PRELOAD="$(gcc -print-file-name=libasan.so) $(ls /usr/lib/*/dri/swrast_dri.so | head -n 1)"
export QUELVIST_CHILD_PRELOAD
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVIST_SANITIZE=ON \
  -DQUELVIST_BENCHMARKS=OFF -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:exitcode=99"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export QUELVIST_SCREENSHOTS="$PWD/build-asan/screenshots"
ctest --test-dir build-asan --output-on-failure "$@"
