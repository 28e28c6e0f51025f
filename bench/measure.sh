#!/usr/bin/env bash
# Measures the built tool against zk4-sim: start-up to the first connect burst, CPU and memory
# while linked, the identification benchmark, and CPU, tick spacing and memory while searching
# a silent device and while the simulator floods the port.
# Usage: bench/measure.sh [seconds per long measurement, default 60]
#
# Builds ZK4, zk4-sim and zk4-bench-identification into BUILD_DIR (default build-measure),
# runs under xvfb-run when there is no display, runs the tool from a copy in a fresh folder
# (own ZK4.ini and ports/), and leaves no process, link or folder behind. All figures also go
# to $ZK4_MEASURE_JSON when that is set; ZK4_MEASURE_PHASES (comma-separated, from
# start,linked,bench,quiet,flood) runs only some of the measurements.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 5)); then
  echo "usage: $0 [seconds per long measurement, at least 5; default 60]" >&2
  exit 2
fi
build=${BUILD_DIR:-$root/build-measure}

if [ -z "${ZK4_MEASURE_INSIDE_XVFB:-}" ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZK4_BUILD_TESTS=OFF \
      -DZK4_BUILD_BENCH=ON >/dev/null
  fi
  cmake --build "$build" --target ZK4 zk4-sim zk4-bench-identification -j2 >/dev/null
  if [ -z "${DISPLAY:-}" ]; then
    export ZK4_MEASURE_INSIDE_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x600x24" "$0" "$@"
  fi
fi

work=$(mktemp -d /tmp/zk4-measure.XXXXXX)
driver=""
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  # The driver ends its own children; this covers a driver that was killed outright.
  if [ -n "$driver" ] && kill -0 "$driver" 2>/dev/null; then
    kill -TERM "$driver" 2>/dev/null || true
    wait "$driver" 2>/dev/null || true
  fi
  if [ -f "$work/pids" ]; then
    # Children the driver had not reaped; each one's command line names the work folder.
    local pid lock owner ours=()
    while read -r pid; do
      if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "$work/"; then
        ours+=("$pid")
      fi
    done <"$work/pids"
    for pid in "${ours[@]}"; do
      kill -TERM "$pid" 2>/dev/null || true
    done
    ((${#ours[@]} == 0)) || sleep 0.2
    for pid in "${ours[@]}"; do
      kill -KILL "$pid" 2>/dev/null || true
    done
    # A tool ended by a signal leaves QSerialPort's lock file ("<pid>", "ZK4", ...) behind.
    for lock in /var/lock/LCK..* /tmp/LCK..* /var/tmp/LCK..*; do
      [ -f "$lock" ] || continue
      owner=$(sed -n 1p "$lock" 2>/dev/null | tr -d ' ')
      if [ "$(sed -n 2p "$lock" 2>/dev/null)" = ZK4 ] && grep -qx "$owner" "$work/pids"; then
        rm -f "$lock"
      fi
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

echo "Measuring with ${seconds} s per long measurement (about $((3 * seconds + 45)) s in all)."
python3 "$root/bench/measure.py" --tool "$build/ZK4" --sim "$build/zk4-sim" \
  --bench "$build/zk4-bench-identification" --work "$work" --seconds "$seconds" \
  ${ZK4_MEASURE_JSON:+--json "$ZK4_MEASURE_JSON"} \
  ${ZK4_MEASURE_PHASES:+--phases "$ZK4_MEASURE_PHASES"} &
driver=$!
status=0
wait "$driver" || status=$?
driver=""
exit "$status"
