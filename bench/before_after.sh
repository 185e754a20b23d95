#!/bin/bash
export DISPLAY=${DISPLAY:-:78} NO_AT_BRIDGE=1
# Runs the before/after figures of bench/README.md in one sitting: BEFORE is
# a checkout of the earlier commit, built in BEFORE/build with the same
# replayLoop and frameTurning benchmarks and bare_freeglut.
#   bench/before_after.sh /tmp/before > sitting.log
A=$(cd "$(dirname "$0")/.." && pwd); B=${1:?the earlier build's checkout}
echo "== machine"; nproc; grep -m1 "model name" /proc/cpuinfo; uptime; date
echo "== replayLoop (before, after alternating, 3 each)"
for i in 1 2 3; do
  for t in $B $A; do
    echo -n "$t: "; $t/build/bench/bench_scene --benchmark_filter='replayLoop/50000/1/' 2>/dev/null | grep replayLoop | awk '{print $1, $NF}' | tr '\n' ' '; echo
  done
done
echo "== turning frame, fresh processes, 7 each"
for size in 300/300 1920/1080; do
  for t in $B $A; do
    n=0; [ $t = $A ] && n=4
    for run in 1 2 3 4 5 6 7; do $t/build/bench/bench_scene --benchmark_filter="frameTurning/50000/$size/$n\$" --benchmark_format=csv 2>/dev/null | awk -F, '/frameTurning/ {printf "%.1f\n", $3}'; done | sort -n | tr '\n' ' '; echo " <- $t $size"
  done
done
echo "== start-up and memory, before"; python3 $A/bench/measure_viewer.py $B/build/quelvist 2>&1 | grep -v "^  "
echo "== start-up and memory, after"; python3 $A/bench/measure_viewer.py $A/build/quelvist 2>&1 | grep -v "^  "
echo "== replay in the viewer, paging, movies (after)"; python3 $A/bench/measure_replay.py $A/build/quelvist 2>&1
date
