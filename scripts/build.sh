#!/usr/bin/env bash
# Configures (once) and builds into a build folder: build.sh [DIR] [extra cmake args...]
# QUORIX_TARGETS="a b" builds only those targets (and what they need); unset, everything.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build}
shift || true
launcher=()
if command -v ccache >/dev/null; then
  # Rebuilds in other checkouts of the tree reuse objects: paths below the tree are hashed relative.
  export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
  # Precompiled headers (QUORIX_PCH) are cached only when ccache may trust them.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:+$CCACHE_SLOPPINESS,}pch_defines,time_macros"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
fi
targets=()
for t in ${QUORIX_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
