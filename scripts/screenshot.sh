#!/usr/bin/env bash
# Makes the README's screenshots from the built program under Xvfb:
#   docs/main-disconnected.png  the start-up look (a port that opens, no device answering)
#   docs/main-identified.png    the simulated J1939-003 identified, its values shown
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ -z "${ZK4_SHOT_INSIDE_XVFB:-}" ]; then
  export ZK4_SHOT_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x600x24" "$0" "$@"
fi
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"
tool_pid=""
cleanup() {
  if [ -n "$tool_pid" ]; then kill -TERM "$tool_pid" 2>/dev/null || true; wait "$tool_pid" 2>/dev/null || true; fi
  stop_sim
}
trap cleanup EXIT INT TERM

shoot() {  # shoot <output> <seconds to wait> [zk4-sim options...]
  local out=$1 wait=$2
  shift 2
  printf 'COM=1;\r\n' >"$build/ZK4.ini"
  start_sim "$build/ZK4" COM1 "$@"
  "$build/ZK4" &
  tool_pid=$!
  sleep "$wait"
  import -window "$(window_id 'ZK4 (')" "$out"
  kill -TERM "$tool_pid"; wait "$tool_pid" 2>/dev/null || true
  tool_pid=""
  stop_sim
  echo "$out"
}

mkdir -p "$root/docs"
shoot "$root/docs/main-disconnected.png" 2.5 --silent-after 0
shoot "$root/docs/main-identified.png" 3.5 --product J1939-003 --serial 305419896
