#!/usr/bin/env bash
# Measures the built tool against zk4-sim: start-up to the first connect burst, CPU and memory
# while linked, the identification benchmark, CPU, tick spacing and memory while searching a
# silent device, while a device streams report lines (with CuteCom on the same stream as the
# peer, in the same window) and while the simulator floods the port; CPU while linked with the
# chart window closed, open and closed again; and the pacing of every command the tool sent,
# from the simulator's log.
# Usage: bench/measure.sh [seconds per long measurement, default 60]
#
# Builds ZK4, zk4-sim and zk4-bench-identification into BUILD_DIR (default build-measure),
# installs cutecom and xdotool with apt-get when they are missing, runs under xvfb-run when
# there is no display, runs the tool from a copy in a fresh folder (own ZK4.ini and ports/) and
# CuteCom with a private HOME and XDG_CONFIG_HOME in it, and leaves no process, link or folder
# behind. All figures also go to $ZK4_MEASURE_JSON when that is set; ZK4_MEASURE_PHASES
# (comma-separated, from start,linked,bench,quiet,stream,flood,chart) runs only some of them;
# ZK4_MEASURE_TOOL measures another ZK4 executable (an older build) with the same simulator.
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
  missing=()
  phases=,${ZK4_MEASURE_PHASES:-stream,chart},
  if [[ $phases == *,stream,* ]]; then
    command -v cutecom >/dev/null || missing+=(cutecom)
  fi
  if [[ $phases == *,stream,* || $phases == *,chart,* ]]; then
    command -v xdotool >/dev/null || missing+=(xdotool)
  fi
  if ((${#missing[@]})); then
    echo "Installing ${missing[*]} (the peer in the stream measurement)."
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq "${missing[@]}" >/dev/null ||
      { apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null; }
  fi
  # Without it CuteCom closes a pseudo-terminal right after opening it (see the file).
  cc -shared -fPIC -O2 -Wall -Wextra -Wpedantic -Werror -o "$build/pty-modem-lines.so" \
    "$root/bench/PtyModemLines.c" -ldl
  if [ -z "${DISPLAY:-}" ]; then
    export ZK4_MEASURE_INSIDE_XVFB=1
    # Wide enough for the tool and CuteCom side by side, neither covering the other.
    exec xvfb-run -a -s "-screen 0 2200x900x24" "$0" "$@"
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
    # Children the driver had not reaped; each one's command line (CuteCom: its HOME) names
    # the work folder.
    local pid lock owner ours=()
    while read -r pid; do
      if cat "/proc/$pid/cmdline" "/proc/$pid/environ" 2>/dev/null | tr '\0' ' ' |
        grep -qF "$work/"; then
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
    # A tool or CuteCom ended by a signal leaves QSerialPort's lock file ("<pid>", "ZK4" or
    # "cutecom", ...) behind.
    for lock in /var/lock/LCK..* /tmp/LCK..* /var/tmp/LCK..*; do
      [ -f "$lock" ] || continue
      owner=$(sed -n 1p "$lock" 2>/dev/null | tr -d ' ')
      case "$(sed -n 2p "$lock" 2>/dev/null)" in ZK4 | cutecom) ;; *) continue ;; esac
      if grep -qx "$owner" "$work/pids"; then
        rm -f "$lock"
      fi
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

echo "Measuring with ${seconds} s per long measurement (about $((7 * seconds + 60)) s in all)."
python3 "$root/bench/measure.py" --tool "${ZK4_MEASURE_TOOL:-$build/ZK4}" --sim "$build/zk4-sim" \
  --bench "$build/zk4-bench-identification" --work "$work" --seconds "$seconds" \
  --peer-preload "$build/pty-modem-lines.so" \
  ${ZK4_MEASURE_JSON:+--json "$ZK4_MEASURE_JSON"} \
  ${ZK4_MEASURE_PHASES:+--phases "$ZK4_MEASURE_PHASES"} &
driver=$!
status=0
wait "$driver" || status=$?
driver=""
exit "$status"
