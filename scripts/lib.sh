# Shared by the demo and screenshot scripts: start zk4-sim linked beside the built tool, wait
# for its "ready" line, and make sure it and its link are gone when the script ends.
# shellcheck shell=bash

sim_pid=""
sim_out=""

start_sim() {  # start_sim <tool executable> <port> [zk4-sim options...]
  local exe=$1 port=$2
  shift 2
  sim_out=$(mktemp)
  "$(dirname "$exe")/zk4-sim" --link-beside "$exe" --port "$port" "$@" >"$sim_out" &
  sim_pid=$!
  local waited=0
  until grep -q '^ready' "$sim_out" 2>/dev/null; do
    if ! kill -0 "$sim_pid" 2>/dev/null || ((waited > 100)); then
      echo "zk4-sim did not start" >&2
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
}

stop_sim() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=""
  [ -n "$sim_out" ] && rm -f "$sim_out"
  sim_out=""
}

# Window id of the top-level window whose title begins with $1 on $DISPLAY ("" if none).
window_id() {
  xwininfo -root -tree 2>/dev/null | awk -v t="\"$1" 'index($0, t) { print $1; exit }'
}
