#!/usr/bin/env bash
# The command lines of ZK4 and zk4-sim that print and exit, with no display at all: a table
# of arguments and what each must print on standard output and standard error, and its exit
# status. --help must also leave the user's configuration folder uncreated.
#   command_line_test.sh <ZK4> <zk4-sim>
set -euo pipefail
# shellcheck disable=SC2034  # both are read through the table's program column
tool=$1 sim=$2
if [ -z "${ZK4_COMMAND_LINE_TEST_NO_DISPLAY:-}" ]; then
  export ZK4_COMMAND_LINE_TEST_NO_DISPLAY=1
  exec env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= bash "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
beside=$(cd "$(dirname "$tool")" && pwd)

matches() {  # matches FILE PATTERNS: "-" for an empty file, else ";"-separated regexes, all found
  if [ "$2" = "-" ]; then
    [ ! -s "$1" ]
    return
  fi
  local pattern
  IFS=';' read -ra patterns <<<"$2"
  for pattern in "${patterns[@]}"; do
    grep -qE -- "$pattern" "$1" || return 1
  done
}

failed=0
# name | program | arguments | status | standard output | standard error
while IFS='|' read -r name program arguments status out err; do
  read -ra args <<<"$arguments"
  rc=0
  "${!program}" "${args[@]}" >"$work/out" 2>"$work/err" || rc=$?
  if [ "$rc" != "$status" ] || ! matches "$work/out" "$out" || ! matches "$work/err" "$err"; then
    echo "FAIL $name: status $rc (expected $status)"
    sed 's/^/  out: /' "$work/out"
    sed 's/^/  err: /' "$work/err"
    failed=$((failed + 1))
  fi
done <<EOF_TABLE
version|tool|--version|0|^ZK4 1\.0\.0\.1$|-
version, short|tool|-v|0|^ZK4 1\.0\.0\.1$|-
help: options|tool|--help|0|--trace <file>;--version;--help|-
help: settings beside the executable, then in the configuration folder|tool|--help|0|$beside/ZK4\.ini;$work/config/ZK4/ZK4\.ini|-
help: port links in both folders|tool|--help|0|$beside/ports$;$work/config/ZK4/ports$|-
help: the port table|tool|-h|0|COM1 - COM10 +/dev/ttyUSB0 - /dev/ttyUSB9;COM11 - COM20 +/dev/ttyACM0 - /dev/ttyACM9;COM21 - COM30 +/dev/ttyS0 - /dev/ttyS9|-
Qt's own option is left to Qt|tool|-platform offscreen --version|0|^ZK4 1\.0\.0\.1$|-
unknown option|tool|--bogus|2|-|bogus;ZK4 --help
unknown option before help|tool|--help --bogus|2|-|bogus;ZK4 --help
trace without its file|tool|--trace|2|-|trace;ZK4 --help
argument that is no option|tool|stray|2|-|stray;ZK4 --help
simulator version|sim|--version|0|^zk4-sim 1\.0\.0\.1$|-
EOF_TABLE

if [ -e "$XDG_CONFIG_HOME" ]; then
  echo "FAIL the command line created $XDG_CONFIG_HOME"
  failed=$((failed + 1))
fi
echo "command line test: $failed failed"
exit $((failed > 0))
