#!/usr/bin/env bash
# Takes the manual's screenshots (docs/images/*.png) from the real main window on a simulated bus of
# three controllers, headless. Build folder: screenshots.sh [DIR], default build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build}
QUORIX_TARGETS="quorix-sim shoot_manual" "$top/scripts/build.sh" "$dir"
work=$(mktemp -d)
link=$work/quorix-bus
"$dir/bin/quorix-sim" --devices 1,2,3 --baud 9600 --link "$link" >"$work/sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "screenshots.sh: quorix-sim did not start:" >&2; cat "$work/sim.log" >&2; exit 1; }
# The offscreen platform's screen is small; the main window asks for more.
QT_QPA_PLATFORM=offscreen QT_QPA_OFFSCREEN_NO_GLX=1 \
  "$dir/docs/shoot_manual" "$link" "$top/docs/images" 2> >(grep -v '^[0-9-]* [0-9:]* DBG' >&2)
