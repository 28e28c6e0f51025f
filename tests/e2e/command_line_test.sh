#!/usr/bin/env bash
# The command lines of ZK4, zk4ctl and zk4-sim that print and exit, with no display at all: a
# table of arguments and what each must print on standard output and standard error, and its
# exit status, in the language the locale asks for. --help must also leave the user's
# configuration folder uncreated.
#   command_line_test.sh <ZK4> <zk4-sim>      (zk4ctl is the one beside ZK4)
set -euo pipefail
tool_path=$1 sim_path=$2
ctl_path=$(dirname "$tool_path")/zk4ctl
if [ -z "${ZK4_COMMAND_LINE_TEST_NO_DISPLAY:-}" ]; then
  export ZK4_COMMAND_LINE_TEST_NO_DISPLAY=1
  exec env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= bash "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
beside=$(cd "$(dirname "$tool_path")" && pwd)
unset LANGUAGE LC_ALL LC_MESSAGES
# The programs of the table, in English unless a row names a language: LANG=es_MX.UTF-8 as a
# Spanish desktop sets it, or a C message locale that wins over LANGUAGE.
tool() { LANG=C.UTF-8 "$tool_path" "$@"; }
tool_es() { LANG=es_MX.UTF-8 "$tool_path" "$@"; }
tool_c_over_language() { LANGUAGE=es LANG=es_MX.UTF-8 LC_MESSAGES=C "$tool_path" "$@"; }
ctl_es() { LANG=es_MX.UTF-8 "$ctl_path" "$@"; }
sim() { "$sim_path" "$@"; }

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
  "$program" "${args[@]}" >"$work/out" 2>"$work/err" || rc=$?
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
help in Spanish|tool_es|--help|0|^Uso: ZK4 \[opciones\]$;--trace <archivo>;^Configuración:$;$beside/ZK4\.ini|-
refusal in Spanish, Qt's reason too|tool_es|--bogus|2|-|Opción desconocida;^Pruebe 'ZK4 --help'\.$
a C message locale is English whatever LANGUAGE says|tool_c_over_language|--help|0|^Usage: ZK4 \[options\]$|-
zk4ctl help in Spanish|ctl_es|--help|0|^Uso: zk4ctl <comando> \[opciones\]$;^Estado de salida:$|-
zk4ctl refusal in Spanish|ctl_es|bogus|2|-|Comando desconocido 'bogus';Pruebe 'zk4ctl --help'
EOF_TABLE

if [ -e "$XDG_CONFIG_HOME" ]; then
  echo "FAIL the command line created $XDG_CONFIG_HOME"
  failed=$((failed + 1))
fi
echo "command line test: $failed failed"
exit $((failed > 0))
