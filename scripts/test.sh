#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, the Qt-free core
# built for Windows and tested under Wine, the Debian package installed and run as an
# unprivileged user, then the whole suite again built with AddressSanitizer and
# UndefinedBehaviorSanitizer. Warnings are errors in every build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen

echo "== Build and test"
BUILD_DIR="$root/build" "$root/scripts/build.sh"
ctest --test-dir "$root/build" --output-on-failure -j2 --timeout 300

if [ "${ZK4_SKIP_WINDOWS:-0}" != 1 ]; then
  echo "== The Qt-free core built for Windows (MinGW-w64) and tested under Wine"
  "$root/scripts/test-windows.sh"
fi

if [ "${ZK4_SKIP_PACKAGE_TEST:-0}" != 1 ]; then
  echo "== The Debian package, unpacked read-only and run as an unprivileged user"
  "$root/scripts/package-test.sh"
fi

if [ "${ZK4_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== Build and test with AddressSanitizer + UndefinedBehaviorSanitizer"
  BUILD_DIR="$root/build-asan" "$root/scripts/build.sh" -DZK4_SANITIZE=ON -DZK4_BUILD_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure -j2 --timeout 600
fi
