#!/usr/bin/env bash
# The built program in a real window under Xvfb: its command line, the title of its messages
# when started through a link named otherwise, the end on SIGTERM while a message is open,
# and the wire trace of a whole link with zk4-sim.
#   window_test.sh <ZK4> <zk4-sim>
tool=$1 sim=$2
. "$(dirname "$0")/window_lib.sh" "$@"
# A window with that title and a class: Qt's hidden 1x1 leader window bears the application's
# name too, but no class.
titled() { xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\": (\""; }
gone() { ! kill -0 "$1" 2>/dev/null; }

# A copy started through a link named otherwise, its port missing: one message, titled with
# the executable's file name; SIGTERM ends the tool while that message is open.
mkdir -p "$work/copy/ports"
cp "$tool" "$work/copy/ZK4"
ln -s "$work/copy/ZK4" "$work/copy/Other"
ln -s "$work/no-such-adapter" "$work/copy/ports/COM1"
printf 'COM=1;\r\n' >"$work/copy/ZK4.ini"
"$work/copy/Other" &
wait_for 15 titled "ZK4" || fail "no message titled ZK4 for a missing port"
kill -TERM $!
wait_for 5 gone $! || fail "SIGTERM did not end the tool behind its message"

# The trace of a whole link: the connect burst, the identification, then polls.
"$sim" --link-beside "$work/copy/ZK4" --port COM2 >"$work/sim.out" &
wait_for 10 grep -q '^ready' "$work/sim.out" || fail "zk4-sim did not start"
printf 'COM=2;\r\n' >"$work/copy/ZK4.ini"
# A trace file that cannot be made is told at start; the device answers, so that is the one
# message.
"$work/copy/ZK4" --trace "$work/no-such-folder/trace.txt" &
wait_for 15 titled "ZK4" || fail "no message for a trace file that cannot be made"
kill -TERM $!
wait_for 5 gone $! || fail "SIGTERM did not end the tool behind its message"
"$work/copy/ZK4" --trace "$work/trace.txt" &
# The connect burst first, then polls and no second "AT ID?"; the identification received.
conversation() {
  local trace=$work/trace.txt
  [ "$(python3 "$scripts/wiretrace.py" "$trace" 'H>D' | head -c 24)" = $'AT FW=?\r\nAT ID?\r\nAT RALL' ] &&
    (($(python3 "$scripts/wiretrace.py" count "$trace" 'H>D' 'AT RALL\r\n') >= 3)) &&
    (($(python3 "$scripts/wiretrace.py" count "$trace" 'H>D' 'AT ID?') == 1)) &&
    (($(python3 "$scripts/wiretrace.py" count "$trace" 'D>H' 'ACK ID') >= 1))
}
wait_for 15 conversation || fail "the trace does not show burst, identification and polls"
traced=$!
kill -TERM $traced
wait_for 5 gone $traced || fail "SIGTERM did not end the tool"
wait $traced || fail "the tool did not end with status 0"
tail -n 1 "$work/trace.txt" | grep -q -- " -- trace ends" || fail "the trace was not ended at exit"
echo "window test: 1 passed, 0 failed"
