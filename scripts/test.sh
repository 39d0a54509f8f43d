#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite headless: once as is, once under
# AddressSanitizer + UndefinedBehaviorSanitizer, once under ThreadSanitizer. The tests mostly wait
# on the simulated bus, so while one build's tests run the next build compiles; each suite's
# output is shown when it has finished. QUORIX_QUICK=1 runs the plain build only.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
logs=$(mktemp -d)
running=()
cleanup() {
  for pid in "${running[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$logs"
}
trap cleanup EXIT

# Environment of each build's tools and tests.
plain_env=()
asan_env=(ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1)
tsan_env=("TSAN_OPTIONS=second_deadlock_stack=1 history_size=7 suppressions=$top/scripts/tsan.supp")

build() { # NAME DIR [cmake args...]
  local name=$1 dir=$2 envname="${1}_env[@]"
  shift 2
  echo "== $name: build"
  env "${!envname}" "$top/scripts/build.sh" "$dir" "$@"
}
start_tests() { # NAME DIR: runs the suite in the background
  local name=$1 dir=$2 envname="${1}_env[@]"
  echo "== $name: tests started"
  (cd "$dir" && env "${!envname}" ctest --output-on-failure -j4 --timeout 300) >"$logs/$name" 2>&1 &
  running+=($!)
  eval "${name}_pid=$!"
}
finish_tests() { # NAME: waits for the suite, shows its output, fails with it
  local name=$1 pidvar="${1}_pid" status=0
  wait "${!pidvar}" || status=$?
  echo "== $name: tests"
  cat "$logs/$name"
  return $status
}

build plain "$top/build"
start_tests plain "$top/build"
if [ "${QUORIX_QUICK:-0}" = 1 ]; then
  finish_tests plain
  exit 0
fi
build asan "$top/build-asan" -DQUORIX_SANITIZE=address
finish_tests plain
start_tests asan "$top/build-asan"
build tsan "$top/build-tsan" -DQUORIX_SANITIZE=thread
finish_tests asan
start_tests tsan "$top/build-tsan"
finish_tests tsan
