#!/usr/bin/env bash
# Configures (once) and builds into a build folder: build.sh [DIR] [extra cmake args...]
# QUORIX_TARGETS="a b" builds only those targets (and what they need); unset, everything.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build}
shift || true
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
fi
targets=()
for t in ${QUORIX_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
