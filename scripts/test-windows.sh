#!/usr/bin/env bash
# The Qt-free core (text, protocol, settings, the serial core, supervision) cross-built for
# 64-bit Windows with MinGW-w64, warnings as errors, and its tests run under Wine by ctest.
# Installs the compiler, Wine and GoogleTest's sources when they are missing. The window needs
# Qt for Windows, which Debian does not have, so it is not built here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WINDOWS_BUILD_DIR:-$root/build-windows}

packages=(g++-mingw-w64-x86-64-posix wine64 googletest cmake)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

# Debian keeps the 64-bit loader and its server outside PATH.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

# A Wine prefix of our own for this run, no debug chatter, no Mono or Gecko installers asked
# for, no display: the tests are console programs.
prefix=$(mktemp -d)
export WINEPREFIX=$prefix/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
finish() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap finish EXIT

# One server for the whole run, and the prefix made before the build: test discovery runs each
# program under Wine and would otherwise wait for the prefix to be set up.
mkdir -p "$WINEPREFIX"
"$wineserver" -p
started=$SECONDS
"$wine" wineboot --init >/dev/null 2>&1 || true
echo "Wine prefix ready in $((SECONDS - started)) s"

cmake -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZK4_WERROR=ON -DZK4_CORE_ONLY=ON \
  -DZK4_GTEST_SOURCE_DIR=/usr/src/googletest >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
