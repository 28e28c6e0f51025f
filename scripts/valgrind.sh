#!/usr/bin/env bash
# Runs the end-to-end tests (the real dialog, serial layer and zk4-sim) under valgrind's
# memcheck and fails on any memory error or definite leak.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${BUILD_DIR:-$root/build}
BUILD_DIR="$build" BUILD_TARGETS="e2e_tests zk4-sim" "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
# Left out: the cases that re-run themselves as another user (a second, unwatched process),
# and the pacing check, whose reader thread valgrind's one-thread-at-a-time scheduling starves.
filter=${1:-'DialogOverPty.*:SimEndToEnd.*:Faults.Port*:Faults.Settings*:-*Permission*:*Paced*'}
# Forked helper processes (another program holding the port) end with _exit: not ours.
valgrind --child-silent-after-fork=yes --error-exitcode=9 --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite --num-callers=30 \
  "$build/e2e_tests" --gtest_filter="$filter"
