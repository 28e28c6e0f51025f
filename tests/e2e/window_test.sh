#!/usr/bin/env bash
# The built program in a real window under Xvfb. Its real message boxes left open: the link goes
# on behind them. Then its messages' title when started through a link named otherwise, SIGTERM
# while a message is open, and the trace of a whole link. Keys go to the windows as a user's
# would (xdotool); what the tool sent and received is read from its --trace.
#   window_test.sh <ZK4> <zk4-sim>
tool=$1 sim=$2
. "$(dirname "$0")/window_lib.sh" "$@"
passed=0
# The message box: a window titled exactly "ZK4" that has a class (Qt's hidden leader window
# has the title but no class); the main window's title starts "ZK4 (".
window() { xwininfo -root -tree 2>/dev/null | awk -v t="\"$1" 'index($0, t) && /": \("/ { print $1; exit }'; }
box() { window 'ZK4": ('; }
main() { window 'ZK4 ('; }
main_open() { [ -n "$(main)" ]; }
box_open() { [ -n "$(box)" ]; }
box_closed() { [ -z "$(box)" ]; }
ok() { press "$(box)" Return && wait_for 5 box_closed; }  # OK on the message, and it is gone
press() { # press WINDOW KEY...
  local id=$1
  shift
  xdotool windowfocus --sync "$id" key --delay 50 "$@"
}
# count TAG TEXT [AFTER_TAG AFTER_TEXT]: how often TEXT went that way in the trace, counting
# only after the last time AFTER_TEXT went AFTER_TAG's way.
count() { python3 "$scripts/wiretrace.py" count "$work/trace.txt" "$1" "$2" ${3:+--after "$3" "$4"}; }
at_least() { (($(count "${@:2}") >= $1)); }
start_sim() { # start_sim NAME PORT OPTIONS...
  local name=$1 port=$2
  shift 2
  "$sim" --link-beside "$work/ZK4" --port "$port" "$@" >"$work/$name.out" &
  wait_for 10 grep -q '^ready' "$work/$name.out" || fail "zk4-sim $name did not start"
}
start_tool() { # start_tool COMn
  printf 'COM=%s;\r\n' "${1#COM}" >"$work/ZK4.ini"
  rm -f "$work/trace.txt"
  "$work/ZK4" --trace "$work/trace.txt" &
  tool_pid=$!
  wait_for 15 main_open || fail "no main window on $1 ($(kill -0 "$tool_pid" 2>/dev/null && echo running || echo ended))"
}
stop_tool() {
  kill -TERM "$tool_pid"
  wait "$tool_pid" || true
}
gone() { ! kill -0 "$tool_pid" 2>/dev/null; }
cp "$tool" "$work/ZK4"
mkdir -p "$work/ports"

# 1. An adapter pulled out while linked, its message left open: the device is found and polled
#    again before OK is pressed.
start_sim pulled COM1 --hangup-after 2
start_tool COM1
wait_for 15 box_open || fail "no message when the adapter went away"
start_sim back COM1 --serial 77
wait_for 15 at_least 2 H\>D 'AT RALL\r\n' D\>H 'ACK ID' || fail "not polled again behind the message"
box_open || fail "the message closed by itself"
ok || fail "OK did not close the message"
stop_tool
passed=$((passed + 1))

# 2. "The device has not taken the new settings" left open: still polled once a second.
#    Proceed to Change (Alt+C) sends 4 and 1.7881; this device keeps its 6.
start_sim keeps COM2 --keep-settings --cylinders 6
start_tool COM2
wait_for 15 at_least 1 D\>H 'ACK ID' || fail "not identified"
press "$(main)" alt+c
wait_for 15 box_open || fail "no message for settings not taken"
polls=$(count H\>D 'AT RALL\r\n')
wait_for 10 at_least $((polls + 3)) H\>D 'AT RALL\r\n' || fail "polling stopped behind the message"
box_open || fail "the message closed by itself"

ok || fail "OK did not close the message"
stop_tool

# 3. A refused Exit: "abc" in the Hz box (three Tabs from Exit: Disconnect, the cylinder number,
#    Hz per MPH) and Enter. OK, and polling goes on.
start_tool COM2
wait_for 15 at_least 1 D\>H 'ACK ID' || fail "not identified"
press "$(main)" Tab Tab Tab ctrl+a a b c Return
wait_for 10 box_open || fail "no message for the refused entry"
ok || fail "OK did not close the refused entry's message"
polls=$(count H\>D 'AT RALL\r\n')
wait_for 10 at_least $((polls + 2)) H\>D 'AT RALL\r\n' || fail "no polls after the refused Exit"
stop_tool
passed=$((passed + 2))

# 4. A port that cannot be opened: after OK, Disconnect (Alt+I) stops the search.
ln -sf "$work/no-such-adapter" "$work/ports/COM7"
start_tool COM7
wait_for 15 box_open || fail "no message for a missing port"
wait_for 10 at_least 2 -- 'not opened' || fail "the missing port is not tried again behind the message"
ok || fail "OK did not close the message"
# The trace is written once a second; its times are the steady clock's, which Python reads too.
press "$(main)" alt+i
pressed=$(python3 -c 'import time; print(int(time.monotonic() * 1000))')
# Nothing to wait for but time: a search would try again once a second.
sleep 3
kill -0 "$tool_pid" || fail "the tool ended"
stop_tool
# A second for the key to arrive and a try that had begun to end.
tries_after=$(python3 "$scripts/wiretrace.py" count "$work/trace.txt" -- 'not opened' \
  --since $((pressed + 1000)))
((tries_after == 0)) || fail "Disconnect did not stop the search ($tries_after tries after it)"
passed=$((passed + 1))

# 5. Started through a link named otherwise, its port missing: one message, titled with the
#    executable's file name; SIGTERM ends the tool while that message is open.
ln -s "$work/ZK4" "$work/Other"
printf 'COM=7;\r\n' >"$work/ZK4.ini"
"$work/Other" &
tool_pid=$!
wait_for 15 box_open || fail "no message titled ZK4 for a missing port"
kill -TERM "$tool_pid"
wait_for 5 gone || fail "SIGTERM did not end the tool behind its message"

# 6. A trace file that cannot be made is told at start (the device answers, so that is the one
#    message). Then the trace of a whole link: the connect burst first, then polls and no
#    second "AT ID?"; the identification received; SIGTERM ends it with status 0 and the trace.
start_sim traced COM3
printf 'COM=3;\r\n' >"$work/ZK4.ini"
"$work/ZK4" --trace "$work/no-such-folder/trace.txt" &
tool_pid=$!
wait_for 15 box_open || fail "no message for a trace file that cannot be made"
kill -TERM "$tool_pid"
wait_for 5 gone || fail "SIGTERM did not end the tool behind its message"
start_tool COM3
conversation() {
  [ "$(python3 "$scripts/wiretrace.py" "$work/trace.txt" 'H>D' | head -c 24)" = $'AT FW=?\r\nAT ID?\r\nAT RALL' ] &&
    at_least 3 H\>D 'AT RALL\r\n' && (($(count H\>D 'AT ID?') == 1)) && at_least 1 D\>H 'ACK ID'
}
wait_for 15 conversation || fail "the trace does not show burst, identification and polls"
kill -TERM "$tool_pid"
wait_for 5 gone || fail "SIGTERM did not end the tool"
wait "$tool_pid" || fail "the tool did not end with status 0"
tail -n 1 "$work/trace.txt" | grep -q -- " -- trace ends" || fail "the trace was not ended at exit"
passed=$((passed + 2))
echo "window test: $passed passed, 0 failed"
