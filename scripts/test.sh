#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite headless: once as is, once under
# AddressSanitizer + UndefinedBehaviorSanitizer, once under ThreadSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
run_suite() {
  local dir=$1; shift
  "$top/scripts/build.sh" "$dir" "$@"
  (cd "$dir" && ctest --output-on-failure -j2 --timeout 300)
}
echo "== plain build"
run_suite "$top/build"
if [ "${QUORIX_QUICK:-0}" != 1 ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_suite "$top/build-asan" -DQUORIX_SANITIZE=address
  echo "== ThreadSanitizer"
  TSAN_OPTIONS="second_deadlock_stack=1 suppressions=$top/scripts/tsan.supp" \
    run_suite "$top/build-tsan" -DQUORIX_SANITIZE=thread
fi
