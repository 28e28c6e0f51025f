#!/usr/bin/env bash
# The command lines of ZK4, zk4ctl and zk4-sim that print and exit, with no display at all: a
# table of arguments, what must be on standard output and standard error, and the exit status, in
# the language the locale asks for; the user's configuration folder stays uncreated.
#   command_line_test.sh <ZK4> <zk4-sim>      (zk4ctl is the one beside ZK4)
set -euo pipefail
tool_path=$1 sim_path=$2
if [ -z "${ZK4_COMMAND_LINE_TEST_NO_DISPLAY:-}" ]; then
  export ZK4_COMMAND_LINE_TEST_NO_DISPLAY=1
  exec env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= bash "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
beside=$(cd "$(dirname "$tool_path")" && pwd)
unset LANGUAGE LC_ALL LC_MESSAGES
tool() { LANG=C.UTF-8 "$tool_path" "$@"; }
tool_es() { LANG=es_MX.UTF-8 "$tool_path" "$@"; }
tool_c_over_language() { LANGUAGE=es LANG=es_MX.UTF-8 LC_MESSAGES=C "$tool_path" "$@"; }
ctl_es() { LANG=es_MX.UTF-8 "$(dirname "$tool_path")/zk4ctl" "$@"; }
sim() { "$sim_path" "$@"; }
matches() { # matches FILE PATTERNS: "-" for an empty file, else ";"-separated regexes, all found
  [ "$2" != "-" ] || { [ ! -s "$1" ]; return; }
  local pattern patterns
  IFS=';' read -ra patterns <<<"$2"
  for pattern in "${patterns[@]}"; do grep -qE -- "$pattern" "$1" || return 1; done
}

failed=0
# name | program | arguments | status | standard output | standard error
while IFS='|' read -r name program arguments status out err; do
  read -ra args <<<"$arguments"
  "$program" "${args[@]}" >"$work/out" 2>"$work/err" && rc=0 || rc=$?
  if [ "$rc" != "$status" ] || ! matches "$work/out" "$out" || ! matches "$work/err" "$err"; then
    echo "FAIL $name: status $rc (expected $status)"
    tail -n +1 "$work/out" "$work/err"
    failed=$((failed + 1))
  fi
done <<EOF_TABLE
version|tool|--version|0|^ZK4 1\.0\.0\.1$|-
help: options, ZK4.ini and the port links beside the executable, then in the configuration folder|tool|--help|0|--trace <file>;--version;--help;$beside/ZK4\.ini;$work/config/ZK4/ZK4\.ini;$beside/ports$;$work/config/ZK4/ports$|-
help: the port table|tool|-h|0|COM1 - COM10 +/dev/ttyUSB0 - /dev/ttyUSB9;COM11 - COM20 +/dev/ttyACM0 - /dev/ttyACM9;COM21 - COM30 +/dev/ttyS0 - /dev/ttyS9|-
Qt's own option is left to Qt, the short version|tool|-platform offscreen -v|0|^ZK4 1\.0\.0\.1$|-
unknown option|tool|--bogus|2|-|bogus;ZK4 --help
unknown option before help|tool|--help --bogus|2|-|bogus;ZK4 --help
trace without its file|tool|--trace|2|-|trace;ZK4 --help
argument that is no option|tool|stray|2|-|stray;ZK4 --help
help in Spanish|tool_es|--help|0|^Uso: ZK4 \[opciones\]$;--trace <archivo>;^Configuración:$;$beside/ZK4\.ini|-
refusal in Spanish, Qt's reason too|tool_es|--bogus|2|-|Opción desconocida;^Pruebe 'ZK4 --help'\.$
a C message locale is English whatever LANGUAGE says|tool_c_over_language|--help|0|^Usage: ZK4 \[options\]$|-
simulator version|sim|--version|0|^zk4-sim 1\.0\.0\.1$|-
zk4ctl help in Spanish|ctl_es|--help|0|^Uso: zk4ctl <comando> \[opciones\]$;^Estado de salida:$|-
EOF_TABLE

[ ! -e "$XDG_CONFIG_HOME" ] || { echo "FAIL the command line created $XDG_CONFIG_HOME"; failed=$((failed + 1)); }
echo "command line test: $failed failed"
exit $((failed > 0))
