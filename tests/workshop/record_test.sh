#!/usr/bin/env bash
# A recording by the built program in a real window (Xvfb), started as a technician would (Ctrl+R,
# Enter on the name offered), against zk4-sim --drive: a row a second while linked, none only while
# the adapter is pulled out, and the row of the poll the tool is killed (SIGKILL) at in the file.
#   record_test.sh <ZK4> <zk4-sim>
tool=$1 sim=$2
. "$(dirname "$0")/../e2e/window_lib.sh" "$@"
window() { xwininfo -root -tree | awk -v t="\"$1" 'index($0, t) { print $1; exit }'; }
shown() { [ -n "$(window "$1")" ]; }  # 'ZK4": ("': a box titled ZK4, with a class
press() { xdotool windowfocus --sync "$(window "$1")" && xdotool key "$2"; }
rows() { (($(wc -l <"$csv") > $1)); }  # more than N rows after the header
answers() { (($(grep -c 'D>H AT DV=' "$work/second.log") > $1)); }  # more than N polls answered
start_sim() { # start_sim <name>: a J1939-003 linked as COM1 beside the tool; "ready <device>"
  "$sim" --link-beside "$work/ZK4" --port COM1 --product J1939-003 --drive --log "$work/$1.log" \
    >"$work/$1" &
  sim_pid=$!
  wait_for 10 grep -q '^ready' "$work/$1" || fail "zk4-sim did not start"
}

cp "$tool" "$work/ZK4"
printf 'COM=1;\r\n' >"$work/ZK4.ini"
mkdir -p "$work/home/Documents"
start_sim first
HOME="$work/home" XDG_CONFIG_HOME="$work/home" "$work/ZK4" &
tool_pid=$!
wait_for 15 shown "ZK4 (" || fail "no window"
press "ZK4 (" ctrl+r
wait_for 10 shown "Record Values" || fail "Ctrl+R opened no file dialog"
press "Record Values" Return
wait_for 10 compgen -G "$work/home/Documents/*.csv" >/dev/null || fail "no recording"
csv=$(compgen -G "$work/home/Documents/*.csv")
wait_for 15 rows 3 || fail "no rows"

kill -TERM "$sim_pid"  # the adapter pulled out: told in a box, behind which the polls go on
wait_for 10 shown 'ZK4": ("' || fail "the port going away was not told"
before=$(($(wc -l <"$csv") - 1))
start_sim second
wait_for 15 rows $((before + 3)) || fail "no rows after the adapter came back"
wait_for 5 answers "$(grep -c 'D>H AT DV=' "$work/second.log")" || fail "no poll"
kill -KILL "$tool_pid"
killed=$(date +%s.%N)
wait "$tool_pid" 2>/dev/null || true
for lock in /var/lock/LCK..* /run/lock/LCK..* /tmp/LCK..*; do  # what QSerialPort left
  [ "$(sed -n 1p "$lock" 2>/dev/null | tr -d ' ')" = "$tool_pid" ] && rm -f "$lock"
done

python3 - "$csv" "$before" "$killed" "$work" <<'EOF' || fail "$csv"
import csv, sys
from datetime import datetime
rows = list(csv.reader(open(sys.argv[1], newline="")))[1:]
before, killed = int(sys.argv[2]), float(sys.argv[3])
t = [datetime.fromisoformat(r[0]).timestamp() for r in rows]
gaps = [i for i in range(1, len(rows)) if t[i] - t[i - 1] > 1.5]
seen = [{(r[1], r[2], r[3], r[4]) for r in part} for part in (rows[:before], rows[before:])]
device = [{("COM1", open(f"{sys.argv[4]}/{sim}").read().split()[1], "ZK4-J1939-003", "305419896")}
          for sim in ("first", "second")]
print(f"{len(rows)} rows, gaps before rows {gaps}, the last {killed - t[-1]:.2f} s before the kill")
sys.exit(0 if gaps == [before] and killed - t[-1] < 0.9 and seen == device else 1)
EOF
echo "record test: 1 passed, 0 failed"
