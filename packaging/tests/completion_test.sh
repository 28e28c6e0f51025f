#!/usr/bin/env bash
# A program's bash completion, as bash calls it: a table of command lines and what TAB offers,
# then every value it offers must be one that the program accepts.
#   completion_test.sh <program: zk4-sim or zk4ctl> <completion file>
set -euo pipefail
program=$1
name=$(basename "$program")
# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null
source "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/trace.log" "$work/two.log"

complete_line() {  # complete_line LINE: what TAB offers at the end of LINE, sorted, one line
  COMP_LINE="$program $1"
  COMP_POINT=${#COMP_LINE}
  # The words as bash splits them: at blanks, and "=" stands alone.
  read -ra COMP_WORDS <<<"${COMP_LINE//=/ = }"
  [[ $COMP_LINE == *" " || $COMP_LINE == *"=" ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  "_${name//-/_}" "$program" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

failed=0
fail() {
  echo "FAIL $*"
  failed=$((failed + 1))
}
# name | command line after the program | offered
while IFS='|' read -r row line expected; do
  got=$(complete_line "$line")
  [ "$got" = "$expected" ] || fail "$row: '$line' offers '$got', expected '$expected'"
done < <(
  case $name in
    zk4-sim)
      cat <<EOF_TABLE
option from its start|--hang|--hangup-after
option after a flag|--drive --vers|--version
variants of a family|--product J17|J1708-001 J1708-002 J1708-003
variant after an equals sign|--product=OBD2-00|OBD2-001 OBD2-002 OBD2-003
ports from COM3|--port COM3|COM3 COM30
free number: nothing offered|--serial |
log: file names|--log $work/tr|$work/trace.log
EOF_TABLE
      ;;
    zk4ctl)
      cat <<EOF_TABLE
commands|s|scan set
command from its start|f|factory-default
options before a command|--v|--version
options of info|info -|--help --json --port --timeout --trace
options of watch after a flag|watch --json --c|--count --csv
options of set|set --port COM1 --|--cylinders --help --hz-per-mph --json --port --timeout --trace
ports from COM2|info --port COM2|COM2 COM20 COM21 COM22 COM23 COM24 COM25 COM26 COM27 COM28 COM29
port after an equals sign|set --port=COM3|COM3 COM30
csv: file names|watch --csv $work/tr|$work/trace.log
free number: nothing offered|set --cylinders |
EOF_TABLE
      ;;
  esac
)

# Every value offered is one the program takes.
case $name in
  zk4-sim)
    for product in $(complete_line "--product "); do
      "$program" --product "$product" --help >/dev/null 2>&1 || fail "zk4-sim refuses the offered --product $product"
    done
    ports=$(complete_line "--port ")
    for port in $ports; do
      "$program" --link-beside "$work/ZK4" --port "$port" --help >/dev/null 2>&1 ||
        fail "zk4-sim refuses the offered --port $port"
    done
    ;;
  zk4ctl)
    declare -A value=([--port]=COM1 [--csv]=$work/r.csv [--count]=1 [--cylinders]=1
      [--hz-per-mph]=1 [--timeout]=1 [--trace]=$work/t)
    for command in $(complete_line ""); do
      for option in $(complete_line "$command -"); do
        "$program" "$command" "$option" ${value[$option]:+"${value[$option]}"} --help >/dev/null 2>&1 ||
          fail "zk4ctl $command refuses the offered $option"
      done
    done
    ports=$(complete_line "info --port ")
    for port in $ports; do
      "$program" info --port "$port" --help >/dev/null 2>&1 || fail "zk4ctl refuses the offered --port $port"
    done
    ;;
esac
[ "$(wc -w <<<"$ports")" -eq 30 ] || fail "ports offered: $ports"
echo "completion test: $failed failed"
exit $((failed > 0))
