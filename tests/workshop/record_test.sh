#!/usr/bin/env bash
# A recording by the built program in a real window (Xvfb), started from the keyboard the way a
# technician would (Ctrl+R, Enter on the name offered), against zk4-sim --drive: one row a poll,
# rows stop while the adapter is pulled out and go on once it is back, and every row written
# before the tool is killed (SIGKILL) is in the file.
#   record_test.sh <ZK4> <zk4-sim>
set -euo pipefail
tool=$1 sim=$2
if [ -z "${ZK4_RECORD_TEST_IN_XVFB:-}" ]; then
  export ZK4_RECORD_TEST_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x600x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
work=$(mktemp -d)
printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"  # the platform's, in a sanitizer build
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
trap 'kill -TERM $(jobs -p) 2>/dev/null || true; wait || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
wait_for() { # wait_for SECONDS COMMAND...: true once COMMAND succeeds, false at the deadline
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do ((SECONDS < deadline)) && sleep 0.05 || return 1; done
}
window() { xwininfo -root -tree 2>/dev/null | awk -v t="\"$1" 'index($0, t) { print $1; exit }'; }
shown() { [ -n "$(window "$1")" ]; }
# A window titled exactly so, with a class: Qt's hidden leader window bears the application's
# name too, but no class.
titled() { xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\": (\""; }
# What the simulator's log (--log) shows of the tool's commands: "identified" once it polls an
# identified device; "polls" the polls of an identified device, each a second after the one
# before (connect bursts and the extra poll of a searching tick are not counted).
sim_log() {
  python3 - "$1" "$2" <<'EOF'
import sys
sent, times = b"", []
for line in open(sys.argv[1], encoding="latin-1"):
    stamp, tag, text = (line.rstrip("\n").split(" ", 2) + ["", ""])[:3]
    if tag == "H>D" and line.endswith("\n"):
        data = text.encode("latin-1").decode("unicode_escape").encode("latin-1")
        sent += data
        times += [float(stamp)] * len(data)
commands, start = [], 0
for end in [i for i, b in enumerate(sent) if b == 0x0A]:
    commands.append((sent[start:end + 1], times[end]))
    start = end + 1
polls = sum(1 for (a, ta), (b, tb) in zip(commands, commands[1:])
            if a == b == b"AT RALL\r\n" and tb - ta > 500)
print(polls if sys.argv[2] == "polls" else int(polls > 0))
EOF
}
identified() { [ "$(sim_log "$1" identified)" = 1 ]; }
recording() { compgen -G "$work/home/Documents/ZK4-J1939-003_305419896_????-??-??.csv"; }
rows() { echo $(($(wc -l <"$csv") - 1)); }
at_least() { (($("${@:2}") >= $1)); }

mkdir -p "$work/copy" "$work/home/Documents"
cp "$tool" "$work/copy/ZK4"
printf 'COM=1;\r\n' >"$work/copy/ZK4.ini"
start_sim() { # start_sim <log>: the device, linked as COM1 beside the tool; sets sim_pid, pts
  "$sim" --link-beside "$work/copy/ZK4" --port COM1 --product J1939-003 --serial 305419896 \
    --drive --log "$1" >"$1.out" &
  sim_pid=$!
  wait_for 10 grep -q '^ready' "$1.out" || fail "zk4-sim did not start"
  pts=$(sed -n 's/^ready //p' "$1.out")
}
start_sim "$work/first.log"
first=$pts
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" "$work/copy/ZK4" &
tool_pid=$!
wait_for 15 shown "ZK4 (" || fail "no window"
wait_for 15 identified "$work/first.log" || fail "the device was not identified"

# Ctrl+R, and Enter on the name offered in the documents folder.
xdotool windowfocus --sync "$(window "ZK4 (")" key ctrl+r
wait_for 10 shown "Record Values" || fail "Ctrl+R opened no file dialog"
xdotool windowfocus --sync "$(window "Record Values")" key Return
wait_for 10 recording >/dev/null || fail "no recording under the name offered"
csv=$(recording)
wait_for 10 at_least 3 rows || fail "no rows in $csv"

# The adapter pulled out: the tool says the port has gone (a box, which the polls go on behind
# once the adapter is back).
kill -TERM "$sim_pid"
wait_for 10 titled ZK4 || fail "the port going away was not told"
before=$(rows)
start_sim "$work/second.log"
second=$pts
wait_for 15 at_least $((before + 3)) rows || fail "no rows after the adapter came back"

# Killed right after a poll: the row of each poll is written before the poll is sent.
polls=$(sim_log "$work/second.log" polls)
wait_for 5 at_least $((polls + 1)) sim_log "$work/second.log" polls || fail "no poll"
kill -KILL "$tool_pid"
wait "$tool_pid" 2>/dev/null || true
polls=$(sim_log "$work/second.log" polls)
# The lock file of the port that QSerialPort could not remove.
for lock in /var/lock/LCK..* /run/lock/LCK..* /tmp/LCK..* /var/tmp/LCK..*; do
  [ -f "$lock" ] && [ "$(sed -n 1p "$lock" | tr -d ' ')" = "$tool_pid" ] && rm -f "$lock"
done

python3 - "$csv" "$before" "$polls" "$first" "$second" <<'EOF' || fail "the recording: see above"
import csv, sys
from datetime import datetime
path, before, polls, first, second = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), *sys.argv[4:]
data = open(path, newline="").read()
lines = data.split("\r\n")
rows = list(csv.reader(lines[1:-1]))
problems = []
if not data.endswith("\r\n") or lines[0].split(",")[:3] != ["time", "port", "device"]:
    problems.append("not whole CSV lines with a header")
times = [datetime.fromisoformat(r[0]) for r in rows]
gaps = [i for i in range(1, len(rows)) if (times[i] - times[i - 1]).total_seconds() > 1.5]
if len(gaps) != 1 or gaps[0] != before:
    problems.append(f"rows stop only at the unplug ({before} rows before it): gaps at {gaps}")
after = rows[before:]
if len(after) != polls:
    problems.append(f"{polls} polls after the adapter came back, {len(after)} rows")
for part, device in ((rows[:before], first), (after, second)):
    seen = {(r[1], r[2], r[3], r[4]) for r in part}
    if seen != {("COM1", device, "ZK4-J1939-003", "305419896")}:
        problems.append(f"port, device, product, serial: {seen}, expected {device}")
if {(r[6], r[10]) for r in rows} != {("13.8", "1.7881")}:
    problems.append("voltage and Hz per MPH: " + str({(r[6], r[10]) for r in rows}))
print("\n".join(problems))
sys.exit(1 if problems else 0)
EOF
echo "record test: 1 passed, 0 failed ($((before + polls)) rows, $before before the unplug)"
