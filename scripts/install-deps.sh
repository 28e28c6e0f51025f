#!/usr/bin/env bash
# Installs the Debian packages the tool, its tests, its demo and its Debian package need
# (skips what is there).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  # Qt Charts for the chart window; its CMake package needs Qt OpenGL's, which Debian 12's
  # qt6-charts-dev does not pull in.
  qt6-charts-dev libqt6opengl6-dev
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev clang-format
  xvfb xauth x11-utils imagemagick fonts-dejavu-core
  valgrind util-linux procps
  dpkg-dev file appstream desktop-file-utils xdotool
  scdoc gzip man-db bash-completion lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
