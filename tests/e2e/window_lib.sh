# Shared by the tests that run the built program in a real window: run under Xvfb, a private
# work folder, this script's own background programs ended and its folder removed at exit.
#   . window_lib.sh "$@"      (from the test script, before anything else)
# shellcheck shell=bash
set -euo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
if [ -z "${ZK4_WINDOW_TEST_IN_XVFB:-}" ]; then
  export ZK4_WINDOW_TEST_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x600x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM LANGUAGE
export LC_ALL=C.UTF-8  # the texts looked for are English, whatever the developer's shell speaks
work=$(mktemp -d)
# In a sanitizer build: the platform's D-Bus library keeps a buffer until exit (not ours).
printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
trap 'kill -TERM $(jobs -p) 2>/dev/null || true; wait || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
wait_for() { # wait_for SECONDS COMMAND...: true once COMMAND succeeds, false at the deadline
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do ((SECONDS < deadline)) && sleep 0.1 || return 1; done
}
