#!/usr/bin/env bash
# Takes the manual's screenshots from the real main window on a simulated bus of three controllers,
# headless: the Chinese interface into docs/images/*.png, the English one into docs/images-en/*.png.
# Build folder: screenshots.sh [DIR], default build/. QUORIX_SHOTS="zh" or "en" takes one set only.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build}
QUORIX_TARGETS="quorix-sim shoot_manual" "$top/scripts/build.sh" "$dir"
work=$(mktemp -d)
sim=
trap '[ -n "$sim" ] && kill $sim 2>/dev/null; wait 2>/dev/null || true; rm -rf "$work"' EXIT

# Each set starts from a freshly started simulated bus, so that both show the same readings.
# The offscreen platform's screen is small; the main window asks for more. The language is named
# for both sets, so that an operator's stored choice does not change the Chinese pictures.
shoot() {
  local link=$work/quorix-bus-$1
  "$dir/bin/quorix-sim" --devices 1,2,3 --baud 9600 --link "$link" >"$work/sim.log" 2>&1 &
  sim=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  [ -e "$link" ] || { echo "screenshots.sh: quorix-sim did not start:" >&2; cat "$work/sim.log" >&2; exit 1; }
  QUORIX_LANG=$1 QT_QPA_PLATFORM=offscreen QT_QPA_OFFSCREEN_NO_GLX=1 \
    "$dir/docs/shoot_manual" "$link" "$2" 2> >(grep -v '^[0-9-]* [0-9:]* DBG' >&2)
  kill $sim
  wait $sim 2>/dev/null || true
  sim=
}
for lang in ${QUORIX_SHOTS:-zh en}; do
  case $lang in
    zh) shoot zh "$top/docs/images" ;;
    en) shoot en "$top/docs/images-en" ;;
    *) echo "screenshots.sh: QUORIX_SHOTS names zh and en, not $lang" >&2; exit 2 ;;
  esac
done
