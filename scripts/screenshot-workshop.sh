#!/usr/bin/env bash
# Makes the README's screenshots of the window menu's workshop commands from the built program
# under Xvfb, driven from the keyboard with xdotool (about six minutes in all):
#   docs/record-values.png    Ctrl+R: the file a recording goes to, named after the device
#   docs/calibrate-speed.png  Ctrl+L: a steady 45 MPH reported, 50 MPH on the GPS
#   docs/chart.png            Ctrl+T: five minutes of zk4-sim --drive --crank, the adapter
#                             pulled out for 20 s on the way
# The tool runs from a copy in a fresh folder (its own ZK4.ini, ports/ and home folder).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ -z "${ZK4_SHOT_INSIDE_XVFB:-}" ]; then
  export ZK4_SHOT_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1600x900x24" "$0" "$@"
fi
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"
work=$(mktemp -d /tmp/zk4-shots.XXXXXX)
tool_pid=""
cleanup() {
  if [ -n "$tool_pid" ]; then kill -TERM "$tool_pid" 2>/dev/null || true; wait "$tool_pid" 2>/dev/null || true; fi
  stop_sim
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
cp "$build/ZK4" "$build/zk4-sim" "$work/"
mkdir -p "$work/home/Documents"

start_tool() {
  printf 'COM=1;\r\n' >"$work/ZK4.ini"
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" "$work/ZK4" &
  tool_pid=$!
  local waited=0
  until [ -n "$(window_id 'ZK4 (')" ]; do
    ((waited++ < 100)) || { echo "the tool showed no window" >&2; return 1; }
    sleep 0.1
  done
}
stop_tool() {
  kill -TERM "$tool_pid"; wait "$tool_pid" 2>/dev/null || true
  tool_pid=""
}
keys() {  # keys KEY...: typed into the tool's window
  xdotool windowfocus --sync "$(window_id 'ZK4 (')"
  xdotool key --delay 100 "$@"
}
shoot_window() {  # shoot_window <title start> <output>
  local waited=0
  until [ -n "$(window_id "$1")" ]; do
    ((waited++ < 50)) || { echo "no window \"$1\"" >&2; return 1; }
    sleep 0.1
  done
  sleep 1
  import -window "$(window_id "$1")" "$2"
  echo "$2"
}

start_sim "$work/ZK4" COM1 --product J1939-003 --serial 305419896 --drive
start_tool
sleep 4
keys ctrl+r
shoot_window 'Record Values' "$root/docs/record-values.png"
keys Escape
stop_tool
stop_sim

start_sim "$work/ZK4" COM1 --product J1939-003 --mph 45
start_tool
sleep 13
keys ctrl+l
sleep 1
xdotool type --delay 150 50
shoot_window 'Calibrate Speed' "$root/docs/calibrate-speed.png"
stop_tool
stop_sim

start_sim "$work/ZK4" COM1 --product J1939-003 --serial 305419896 --drive --crank
start_tool
sleep 2
keys ctrl+t
sleep 200
stop_sim  # the adapter pulled out, and plugged in again 20 s later
sleep 20
start_sim "$work/ZK4" COM1 --product J1939-003 --serial 305419896 --drive --crank
sleep 5
# The box that told of the port going away, closed with Enter, so that it covers nothing.
box=$(xwininfo -root -tree | awk '/"ZK4": \("/ { print $1; exit }')
if [ -n "$box" ]; then
  xdotool windowfocus --sync "$box"
  xdotool key Return
fi
sleep 85
shoot_window 'ZK4 Chart' "$root/docs/chart.png"
stop_tool
