#!/bin/bash
export DISPLAY=${DISPLAY:-:78} NO_AT_BRIDGE=1
# Runs the before/after figures of bench/README.md in one sitting, each
# script on the earlier build, then on this one: a still view's CPU and the
# turning frames at 300x300 and full screen, the replay's rate, start-up
# and memory. BEFORE is a checkout of the earlier commit built in
# BEFORE/build (with -DQUELVIST_BENCHMARKS=ON for bare_freeglut). The
# screen of DISPLAY is the full-screen size (1920x1080 wants such an Xvfb).
#   Xvfb :78 -screen 0 1920x1080x24 -nolisten tcp -noreset &
#   bench/before_after.sh /tmp/before > sitting.log
A=$(cd "$(dirname "$0")/.." && pwd); B=${1:?the earlier build\'s checkout}
echo "== machine"; nproc; grep -m1 "model name" /proc/cpuinfo; uptime; date
for script in measure_frames.py measure_replay.py measure_viewer.py; do
  for t in $B $A; do
    echo "== $script, $t"
    python3 "$A/bench/$script" "$t/build/quelvist" 2>&1 | grep -v "^  \|^trace:"
  done
done
uptime; date
