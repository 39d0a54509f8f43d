#!/usr/bin/env bash
# Installs a build into a fresh prefix and checks that the folder stands on its own: the launcher
# on PATH starts the application, which finds its icons and manual beside itself, and the desktop
# entry points into this prefix. Usage: install_check.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_check: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
app=$prefix/lib/quorix-rs485
for f in "$app/quorix-rs485" "$app/QUORIXV1.0.pdf" "$app/QUORIXV1.0-en.pdf" "$app/icons/show.png" "$app/icons/hide.png" \
         "$app/icons/quorix-rs485.png" "$prefix/bin/quorix-sim" "$prefix/bin/quorix-cli" \
         "$prefix/share/icons/hicolor/256x256/apps/quorix-rs485.png"; do
  [ -s "$f" ] || fail "missing $f"
done
[ -d "$app/data" ] || fail "missing $app/data"
for manual in QUORIXV1.0.pdf QUORIXV1.0-en.pdf; do
  head -c 5 "$app/$manual" | grep -q '%PDF-' || fail "the manual $manual is no PDF"
done
# The manual's Chinese text needs a Chinese font inside the PDF, and its screenshots must be there.
grep -aq "/BaseFont /WenQuanYiMicroHei" "$app/QUORIXV1.0.pdf" || fail "the manual embeds no Chinese font"
images=$(grep -ac "/Subtype /Image" "$app/QUORIXV1.0.pdf" || true)
shots=$(ls "$(dirname "$0")/../../docs/images"/*.png | wc -l)
[ "$images" -ge "$shots" ] || fail "the manual holds $images pictures, docs/images has $shots"

desktop=$prefix/share/applications/quorix-rs485.desktop
grep -qx "Exec=$prefix/bin/quorix-rs485" "$desktop" || fail "desktop entry does not start this prefix's launcher"
grep -qx "Icon=$prefix/share/icons/hicolor/256x256/apps/quorix-rs485.png" "$desktop" || fail "desktop entry icon"

# Started through PATH from elsewhere, the application runs until it is stopped (timeout's 124).
launcher=$(cd / && PATH="$prefix/bin:$PATH" command -v quorix-rs485)
[ "$launcher" = "$prefix/bin/quorix-rs485" ] || fail "launcher not found on PATH"
status=0
(cd / && PATH="$prefix/bin:$PATH" QT_QPA_PLATFORM=offscreen timeout 4 quorix-rs485 >/dev/null 2>&1) || status=$?
[ "$status" -eq 124 ] || fail "the installed application stopped by itself (status $status)"
PATH="$prefix/bin:$PATH" quorix-sim --help >/dev/null || fail "quorix-sim does not run"
echo "install_check: $prefix is complete"
