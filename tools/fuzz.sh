#!/usr/bin/env bash
# Builds the reader's fuzz target with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs it on a copy of the seed corpus.
#   tools/fuzz.sh [RUNS] [extra libFuzzer options]      (default 10000000 runs)
# New inputs land in build-fuzz/corpus; crashes in build-fuzz/crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10000000}
shift || true
mkdir -p build-fuzz/corpus
clang++ -std=c++20 -O2 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I. $(pkg-config --cflags gtk+-3.0) recording/number.cpp recording/reader.cpp \
  platform/platform_linux.cpp platform/process.cpp tests/literal_reader.cpp -ldl -lX11 -lGL \
  tests/fuzz/fuzz_reader.cpp -o build-fuzz/fuzz_reader
cp -n tests/fuzz/corpus/* build-fuzz/corpus/ 2>/dev/null || true
cd build-fuzz
exec ./fuzz_reader -runs="$runs" -max_len=65536 -print_final_stats=1 "$@" corpus
