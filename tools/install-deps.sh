#!/usr/bin/env bash
# Installs everything Tallyvane needs to build, run and test on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config file dpkg-dev \
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-qpa-plugins libgl-dev \
  nlohmann-json3-dev libicu-dev libsqlite3-dev sqlite3 libgtest-dev libbenchmark-dev \
  clang-14 libclang-rt-14-dev \
  xvfb xauth x11-apps x11-utils imagemagick dbus dbus-x11 \
  fonts-dejavu-core fonts-noto-core fonts-cantarell \
  jq procps ca-certificates desktop-file-utils groff-base \
  libxcb1-dev xdotool trayer \
  tesseract-ocr tesseract-ocr-eng xfce4-panel qt6-wayland python3-pyte tmux
# Node.js and npm for the real Codex peer in the tests: Debian's, unless this machine already has both
# (a Node.js from elsewhere often bundles npm and conflicts with Debian's npm package).
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  $SUDO apt-get install -y --no-install-recommends nodejs npm
fi
