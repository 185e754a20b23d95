#!/usr/bin/env bash
# Sets up, builds and starts the viewer on the shipped sample recording.
# Extra arguments (such as -f) are passed to the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/build.sh
cd data
exec ../build/quelvist "$@" test.txt
