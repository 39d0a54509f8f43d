#!/usr/bin/env bash
# The command-line tool and the simulator run on a machine without a display stack: neither loads Qt
# Widgets nor Qt Gui, directly or through another library. Usage: headless_tools_check.sh BINARY...
set -euo pipefail
fail() { echo "headless_tools_check: $*" >&2; exit 1; }
[ $# -gt 0 ] || fail "no binary given"
for binary in "$@"; do
  [ -x "$binary" ] || fail "$binary is not built"
  libraries=$(ldd "$binary") || fail "ldd cannot read $binary"
  # A list without Qt Core would pass the check below for the wrong reason.
  grep -q 'libQt5Core\.so' <<<"$libraries" || fail "$(basename "$binary") shows no Qt Core: $libraries"
  if gui=$(grep -E 'libQt5(Widgets|Gui)\.so' <<<"$libraries"); then
    fail "$(basename "$binary") loads: $gui"
  fi
  echo "$(basename "$binary"): $(grep -o 'libQt5[A-Za-z]*' <<<"$libraries" | sort -u | tr '\n' ' ')"
done
