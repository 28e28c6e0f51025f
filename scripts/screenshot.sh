#!/usr/bin/env bash
# Makes the README's screenshots from the built program under Xvfb:
#   docs/main-disconnected.png  the start-up look (a port that opens, no device answering)
#   docs/main-identified.png    the simulated J1939-003 identified, its values shown
#   docs/main-identified-es.png the same in Spanish (LANG=es_MX.UTF-8)
#   docs/main-large-font.png    the same at a large desktop font (QT_FONT_DPI=144)
#   docs/port-list.png          the open port list, the simulated adapter's tooltip shown
# The English ones are made with LANG=C.UTF-8, whatever the session's language.
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

tool_env=(LANG=C.UTF-8)  # the tool's environment for the next shot
shoot() {  # shoot <output> <seconds to wait> [zk4-sim options...]
  local out=$1 wait=$2
  shift 2
  printf 'COM=1;\r\n' >"$build/ZK4.ini"
  start_sim "$build/ZK4" COM1 "$@"
  env "${tool_env[@]}" "$build/ZK4" &
  tool_pid=$!
  sleep "$wait"
  import -window "$(window_id 'ZK4 (')" "$out"
  kill -TERM "$tool_pid"; wait "$tool_pid" 2>/dev/null || true
  tool_pid=""
  stop_sim
  echo "$out"
}

# The port list opened from the keyboard (Exit, Disconnect, the two settings, then the port
# box), the mouse resting on COM1 so its tooltip shows.
shoot_port_list() {
  local out=$1
  printf 'COM=1;\r\n' >"$build/ZK4.ini"
  start_sim "$build/ZK4" COM1 --product J1939-003
  env "${tool_env[@]}" "$build/ZK4" &
  tool_pid=$!
  sleep 3
  local wid
  wid=$(window_id 'ZK4 (')
  xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
  for _ in 1 2 3 4; do xdotool key Tab; done
  xdotool key alt+Down
  sleep 1
  # The list is a window of its own, named after the program.
  local geometry
  geometry=$(xwininfo -root -tree | awk '/"ZK4": \("ZK4"/ { print $(NF-1); exit }')
  local x=${geometry#*+} y=${geometry##*+}
  x=${x%%+*}
  xdotool mousemove $((x + 25)) $((y + 7))
  sleep 2
  import -window root -crop 640x360+160+90 "$out"
  kill -TERM "$tool_pid"; wait "$tool_pid" 2>/dev/null || true
  tool_pid=""
  stop_sim
  echo "$out"
}

mkdir -p "$root/docs"
shoot "$root/docs/main-disconnected.png" 2.5 --silent-after 0
shoot "$root/docs/main-identified.png" 3.5 --product J1939-003 --serial 305419896
tool_env=(LANG=es_MX.UTF-8)
shoot "$root/docs/main-identified-es.png" 3.5 --product J1939-003 --serial 305419896
tool_env=(LANG=C.UTF-8 QT_FONT_DPI=144)
shoot "$root/docs/main-large-font.png" 3.5 --product J1939-003 --serial 305419896
tool_env=(LANG=C.UTF-8)
shoot_port_list "$root/docs/port-list.png"
