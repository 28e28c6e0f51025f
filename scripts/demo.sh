#!/usr/bin/env bash
# The demo: installs what is missing, builds, starts a simulated ZK4 (J1939-003, engine
# running) linked as ports/COM1 beside the built tool, and starts the tool, which finds it.
# With a display the window is yours and the simulator stops when you close it. Without one,
# both run under xvfb-run, a screenshot of the identified device is saved, and both stop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
BUILD_DIR="$root/build" BUILD_TARGETS="ZK4 zk4-sim" "$root/scripts/build.sh"

build="$root/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${ZK4_DEMO_INSIDE_XVFB:-}" ]; then
  export ZK4_DEMO_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x600x24" "$0" "$@"
fi

# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"
tool_pid=""
cleanup() {
  if [ -n "$tool_pid" ] && kill -0 "$tool_pid" 2>/dev/null; then
    kill -TERM "$tool_pid" 2>/dev/null || true
    wait "$tool_pid" 2>/dev/null || true
  fi
  stop_sim
}
trap cleanup EXIT INT TERM

# The demo always starts on COM1, where the simulator is.
printf 'COM=1;\r\n' >"$build/ZK4.ini"
start_sim "$build/ZK4" COM1 --product J1939-003 --serial 305419896 --drive
echo "Simulated ZK4-J1939-003 on $(sed -n 's/^ready //p' "$sim_out") as COM1."

if [ -z "${ZK4_DEMO_INSIDE_XVFB:-}" ]; then
  echo "Starting the tool; close its window to end the demo."
  "$build/ZK4"
  exit 0
fi

"$build/ZK4" &
tool_pid=$!
# The tool connects at its first tick (one second) and polls once a second after that.
for _ in $(seq 1 50); do
  [ -n "$(window_id 'ZK4 (')" ] && break
  sleep 0.1
done
sleep 3.5
shot="$build/demo-screenshot.png"
wid=$(window_id 'ZK4 (')
if [ -z "$wid" ]; then
  echo "The tool's window did not appear." >&2
  exit 1
fi
import -window "$wid" "$shot"
echo "No display here: the tool ran under xvfb-run. Screenshot of the identified device: $shot"
