#!/usr/bin/env bash
# Runs the end-to-end tests (the real dialog, serial layer and zk4-sim) under valgrind's
# memcheck and fails on any memory error or definite leak.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${BUILD_DIR:-$root/build}
BUILD_DIR="$build" BUILD_TARGETS="e2e_tests zk4-sim" "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
# Left out: the case that re-runs itself as another user (a second, unwatched process).
filter=${1:-'SimEndToEnd.*:*Faults.*:-*ReadOnly*'}
# Forked helper processes (another program holding the port) end with _exit: not ours.
valgrind --child-silent-after-fork=yes --error-exitcode=9 --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite --num-callers=30 \
  "$build/e2e_tests" --gtest_filter="$filter"
