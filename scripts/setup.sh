#!/usr/bin/env bash
# Installs everything Vantrel needs to build, run and test on Debian 12.
# Safe to run again: it installs only what is missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  g++ cmake ninja-build pkg-config ccache
  clang-14 libclang-rt-14-dev clang-format-14
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libxcb1-dev
  libjpeg62-turbo-dev libssl-dev libqrencode-dev glib-networking
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-base-apps
  libgstrtspserver-1.0-dev libgstreamer-plugins-bad1.0-dev
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-nice gstreamer1.0-rtsp gstreamer1.0-pulseaudio
  ffmpeg openssl nginx-light libnginx-mod-rtmp
  python3-pyftpdlib onvif-tools iproute2
  chromium
  xvfb xauth x11-utils imagemagick libjpeg-turbo-progs openbox xdotool
  fonts-dejavu-core fonts-liberation2
  dpkg-dev file desktop-file-utils appstream help2man lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Node.js may come from elsewhere than Debian (its npm conflicts with Debian's):
# install Debian's only when there is none at all.
if ! command -v npm >/dev/null 2>&1; then
  missing_node=(nodejs npm)
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing_node[@]}"
fi

# The ONVIF client a recorder would be, for the recorder tests.
if [[ ! -d "$here/tests/onvif/node_modules/onvif" ]]; then
  echo "setup: installing the onvif client"
  (cd "$here/tests/onvif" && npm install --no-audit --no-fund --silent)
fi

# Browser driver for the page tests (uses the system Chromium, downloads no browser).
if [[ ! -d "$here/tests/browser/node_modules/playwright-core" ]]; then
  echo "setup: installing playwright-core"
  (cd "$here/tests/browser" && npm install --no-audit --no-fund --silent)
fi
