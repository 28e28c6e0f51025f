#!/usr/bin/env bash
# The bash completion of zk4-sim, as bash calls it: a table of command lines and what TAB
# offers, then every product and port it offers must be one that zk4-sim accepts.
#   completion_test.sh <zk4-sim> <completion file>
set -euo pipefail
sim=$1
# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null
source "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/trace.log" "$work/two.log"

complete_line() {  # complete_line LINE: what TAB offers at the end of LINE, sorted, one line
  COMP_LINE="$sim $1"
  COMP_POINT=${#COMP_LINE}
  # The words as bash splits them: at blanks, and "=" stands alone.
  read -ra COMP_WORDS <<<"${COMP_LINE//=/ = }"
  [[ $COMP_LINE == *" " || $COMP_LINE == *"=" ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _zk4_sim "$sim" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

failed=0
# name | command line after zk4-sim | offered
while IFS='|' read -r name line expected; do
  got=$(complete_line "$line")
  if [ "$got" != "$expected" ]; then
    echo "FAIL $name: '$line' offers '$got', expected '$expected'"
    failed=$((failed + 1))
  fi
done <<EOF_TABLE
option from its start|--hang|--hangup-after
option after a flag|--drive --vers|--version
variants of a family|--product J17|J1708-001 J1708-002 J1708-003
variant after an equals sign|--product=OBD2-00|OBD2-001 OBD2-002 OBD2-003
ports from COM3|--port COM3|COM3 COM30
free number: nothing offered|--serial |
log: file names|--log $work/tr|$work/trace.log
EOF_TABLE

for product in $(complete_line "--product "); do
  "$sim" --product "$product" --help >/dev/null 2>&1 ||
    { echo "FAIL zk4-sim refuses the offered --product $product"; failed=$((failed + 1)); }
done
ports=$(complete_line "--port ")
[ "$(wc -w <<<"$ports")" -eq 30 ] || { echo "FAIL ports offered: $ports"; failed=$((failed + 1)); }
for port in $ports; do
  "$sim" --link-beside "$work/ZK4" --port "$port" --help >/dev/null 2>&1 ||
    { echo "FAIL zk4-sim refuses the offered --port $port"; failed=$((failed + 1)); }
done
echo "completion test: $failed failed"
exit $((failed > 0))
