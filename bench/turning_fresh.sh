#!/bin/sh
# The turning frame at each flush setting, each in a process of its own (the
# renderer's memory left by one setting changes the next one's time), five
# processes each; prints each setting's median wall time in ms.
#   DISPLAY=:78 bench/turning_fresh.sh build/bench/bench_scene
bench=${1:-build/bench/bench_scene}
for size in 300/300 1920/1080; do
  for n in 0 1 2 4 16; do
    for run in 1 2 3 4 5; do
      "$bench" --benchmark_filter="frameTurning/50000/$size/$n\$" --benchmark_format=csv 2>/dev/null |
        awk -F, '/frameTurning/ {print $3}'
    done | sort -n | awk -v s="$size" -v n="$n" '{v[NR] = $1} END {printf "%s flush every %s: %.1f ms (of %s)\n", s, n, v[3], NR}'
  done
done
