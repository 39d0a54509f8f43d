#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; does nothing when all are there.
set -euo pipefail
# The smoke test runs the real window on a virtual X server (xvfb), drives it with xdotool, closes it
# with a helper built against libX11, and checks the Chinese font with fontconfig's fc-list.
# The manual's test reads the text back out of the rendered PDF with poppler-utils' pdftotext.
# The MQTT publisher links libmosquitto; its tests start their own mosquitto broker, over TLS too
# with certificates that openssl makes for them. Qt's Linguist tools compile the English translation.
# lld and ninja build faster than GNU ld and make. Qt's own dialogs (file dialog, Yes/No) speak
# Chinese in the Chinese interface with Qt's translations (qttranslations5-l10n).
packages=(build-essential cmake qtbase5-dev libqt5serialport5-dev libqt5charts5-dev
          fonts-wqy-microhei fontconfig xvfb xdotool libx11-dev poppler-utils
          libmosquitto-dev mosquitto openssl lld ninja-build
          qttools5-dev qttools5-dev-tools qttranslations5-l10n)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
echo "Installing: ${missing[*]}"
$sudo_cmd apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
