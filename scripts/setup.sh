#!/usr/bin/env bash
# Installs everything Pandrisk needs to build, run and test on Debian 12:
# the compiler and build tools, Qt 6, the sound server's client library,
# the test tools, a Japanese font, and the sound server, virtual display and
# window manager that the tests use.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libpulse-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  fonts-vlgothic fontconfig
  pulseaudio pulseaudio-utils
  xvfb xdotool wmctrl openbox fluxbox x11-utils xclip imagemagick
  qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package is installed"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
