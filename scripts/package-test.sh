#!/usr/bin/env bash
# The Debian package as a user gets it. Builds the package in build-package/, unpacks it into
# a temporary root that the test user cannot write, and runs the unpacked ZK4 as an
# unprivileged user (uid 65534, a fresh HOME and XDG_CONFIG_HOME) under an Xvfb of its own,
# against two unpacked zk4-sim devices linked in that user's configuration folder: COM1 (the
# port a new user starts on) and COM7.
#
#   run 1  no message box; the device on COM1 is identified; ZK4.ini is created in the user's
#          configuration folder; the user disconnects, types COM7 and connects; the device on
#          COM7 is identified and ZK4.ini records it; Exit ends the tool.
#   run 2  with nothing typed the tool goes to COM7 and identifies the device there, never
#          addresses COM1, shows no message box; ZK4.ini still holds exactly "COM=7;\r\n".
#          Then zk4ctl, with no display, reads COM7 from that file and prints the device's
#          values as JSON, leaving the file as it was.
#   run 3  root runs the unpacked tool (a fresh HOME, no XDG_CONFIG_HOME) against a zk4-sim
#          linked in root's configuration folder: the device is identified, ZK4.ini is in
#          root's ~/.config/ZK4, and nothing appears beside the executable, which root could
#          write: usr/bin holds exactly the three programs afterwards.
#
# Also checked: the package's dependencies were computed, its desktop entry and metadata pass
# their validators, the theme icons have their sizes, lintian finds no error and no warning
# (every tag it reports is printed), the licence, changelog, manual pages, completions and the
# Spanish catalogue are in it, the three programs are hardened, the unpacked ZK4 answers
# --version and --help (also in Spanish, from the catalogue it installed) and zk4ctl --version
# without a display, and nothing was written into the package's root.
# Prints one line per check and "N passed, M failed" at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PACKAGE_BUILD_DIR:-$root/build-package}

# Switching to the test user needs root.
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=PACKAGE_BUILD_DIR "$0" "$@"
fi

echo "== Build the Debian package in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZK4_WERROR=ON -DZK4_BUILD_TESTS=OFF \
  -DZK4_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -f "$build"/*.deb "$build"/package-test-failure-*.png
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/*.deb)
echo "$package"

test_uid=65534
work=$(mktemp -d /tmp/zk4-package-test.XXXXXX)
chmod 755 "$work"
pkgroot=$work/root
home=$work/home
config=$home/.config
logs=$work/logs
mkdir -p "$home" "$logs" "$work/runtime"
chown "$test_uid:$test_uid" "$home" "$logs" "$work/runtime"
chmod 700 "$home" "$work/runtime"
dpkg-deb -x "$package" "$pkgroot"
chmod -R a-w "$pkgroot"

xvfb_pid=""
tool_pid=""
sim_pids=()
running() {  # a zombie that nobody waited for yet counts as ended
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}
ended() { ! running "$1"; }
stop() {  # TERM, and KILL when that has not ended it within 5 s
  if [ -z "$1" ]; then
    return 0
  fi
  if running "$1"; then
    kill -TERM "$1" 2>/dev/null || true
    wait_until 5 ended "$1" || kill -KILL "$1" 2>/dev/null || true
  fi
  wait "$1" 2>/dev/null || true
}
cleanup() {
  set +e
  stop "$tool_pid"
  for pid in "${sim_pids[@]}"; do
    stop "$pid"
  done
  stop "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

passed=0
failed=0
shots=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    echo "PASS $what"
    passed=$((passed + 1))
  else
    echo "FAIL $what"
    failed=$((failed + 1))
    if [ -n "${DISPLAY:-}" ]; then
      shots=$((shots + 1))
      import -window root "$build/package-test-failure-$shots.png" 2>/dev/null &&
        echo "     screen: $build/package-test-failure-$shots.png"
    fi
  fi
}
finish() {
  echo "$passed passed, $failed failed"
  exit $((failed > 0 ? 1 : 0))
}
wait_until() {  # wait_until SECONDS COMMAND...: polls until COMMAND succeeds or time is up
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    if ((SECONDS >= deadline)); then
      return 1
    fi
    sleep 0.1
  done
}

# --- The package itself. ---
echo "== The package"
check "dependencies computed: Depends names libqt6serialport6" \
  grep -q 'libqt6serialport6' <(dpkg-deb -f "$package" Depends)
check "desktop entry passes desktop-file-validate" \
  bash -c 'out=$(desktop-file-validate "$1"/usr/share/applications/*.desktop 2>&1) && [ -z "$out" ] ||
    { echo "$out"; false; }' _ "$pkgroot"
check "metadata, desktop entry and icons pass appstreamcli validate-tree" \
  bash -c 'out=$(appstreamcli validate-tree --no-net "$1" 2>&1) || { echo "$out"; false; }' _ "$pkgroot"
icon_sizes_ok() {
  local size
  for size in 16 22 24 32 48 64 128 256; do
    file "$pkgroot/usr/share/icons/hicolor/${size}x$size/apps/"*.png |
      grep -q "PNG image data, $size x $size," || return 1
  done
}
check "theme icons 16 to 256 pixels" icon_sizes_ok
lintian_clean() {  # no error or warning; every tag is printed, informational ones too
  local out
  command -v lintian >/dev/null || { echo "     lintian is not installed"; return 1; }
  out=$(lintian -I --pedantic "$package" 2>/dev/null) || true
  [ -z "$out" ] || sed 's/^/     /' <<<"$out"
  ! grep -q '^[EW]:' <<<"$out"
}
check "lintian: no error, no warning" lintian_clean
holds_files() {
  local listing path
  listing=$(dpkg-deb -c "$package" | awk '{ print $6 }')
  for path in bin/zk4ctl share/doc/zk4-toolset/copyright share/doc/zk4-toolset/changelog.gz \
    share/man/man1/ZK4.1.gz share/man/man1/zk4-sim.1.gz share/man/man1/zk4ctl.1.gz \
    share/bash-completion/completions/zk4-sim share/bash-completion/completions/zk4ctl \
    share/zk4-toolset/translations/zk4_es.qm; do
    grep -qx "./usr/$path" <<<"$listing" || { echo "     missing: /usr/$path"; return 1; }
  done
}
check "zk4ctl, copyright, changelog, manual pages, completions and zk4_es.qm are in the package" \
  holds_files
hardened() {  # hardened PROGRAM: bound at start, read-only relocations, fortified calls
  # Read whole first: grep -q ending a pipe early would fail it (pipefail) on a long listing.
  local dynamic segments symbols
  dynamic=$(readelf -d "$1") && segments=$(readelf -lW "$1") && symbols=$(nm -D "$1") &&
    grep -q 'FLAGS.*BIND_NOW' <<<"$dynamic" && grep -q GNU_RELRO <<<"$segments" &&
    grep -q '__[a-z]*_chk@' <<<"$symbols"
}
for program in ZK4 zk4-sim zk4ctl; do
  check "$program is hardened: BIND_NOW, RELRO, fortified calls" hardened "$pkgroot/usr/bin/$program"
done
user_env=(HOME="$home" XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$work/runtime"
  PATH=/usr/bin:/bin LANG=C.UTF-8)
as_user=(setpriv --reuid="$test_uid" --regid="$test_uid" --clear-groups -- env -i "${user_env[@]}")
if "${as_user[@]}" test -w "$pkgroot/usr/bin"; then
  echo "The package root is writable for uid $test_uid; the test would prove nothing." >&2
  exit 1
fi
find "$pkgroot" | sort >"$work/root-before"

# --- The command line, with no display at all. ---
answers() {  # answers PROGRAM STATUS PATTERN ARGUMENT...: an unpacked program's status and output
  local program=$1 want=$2 pattern=$3 out rc=0
  shift 3
  out=$("${as_user[@]}" "$pkgroot/usr/bin/$program" "$@" 2>&1) || rc=$?
  if [ "$rc" -ne "$want" ] || ! grep -q -- "$pattern" <<<"$out"; then
    echo "     status $rc: $out"
    return 1
  fi
}
check "ZK4 --version without a display" answers ZK4 0 '^ZK4 1\.0\.0\.1$' --version
check "ZK4 --help without a display names \$XDG_CONFIG_HOME/ZK4/ZK4.ini" \
  answers ZK4 0 "$config/ZK4/ZK4.ini" --help
check "zk4ctl --version without a display" answers zk4ctl 0 '^zk4ctl 1\.0\.0\.1$' --version
in_spanish() {  # in_spanish PROGRAM PATTERN ARGUMENT...: its output under LANG=es_MX.UTF-8
  local program=$1 pattern=$2 out
  shift 2
  out=$(setpriv --reuid="$test_uid" --regid="$test_uid" --clear-groups -- env -i \
    "${user_env[@]}" LANG=es_MX.UTF-8 "$pkgroot/usr/bin/$program" "$@" 2>&1) &&
    grep -q -- "$pattern" <<<"$out" || { echo "     $out"; return 1; }
}
check "ZK4 --help in Spanish, from the installed catalogue" in_spanish ZK4 '^Uso: ZK4' --help
check "zk4ctl --help in Spanish, from the installed catalogue" \
  in_spanish zk4ctl '^Uso: zk4ctl' --help

# --- A display of our own: Xvfb picks a free number and writes it when it is ready. ---
: >"$work/xauth"
printf 'ffff 0000  0000  0012 %s 0010 %s\n' 4d49542d4d414749432d434f4f4b49452d31 "$(mcookie)" |
  xauth -q -f "$work/xauth" nmerge -
Xvfb -displayfd 3 -screen 0 1024x600x24 -nolisten tcp -auth "$work/xauth" \
  3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
if ! wait_until 20 grep -qs '^[0-9]' "$work/display"; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY XAUTHORITY=$work/xauth
install -o "$test_uid" -g "$test_uid" -m 600 "$work/xauth" "$home/.Xauthority"
as_user=(setpriv --reuid="$test_uid" --regid="$test_uid" --clear-groups -- env -i
  "${user_env[@]}" DISPLAY="$DISPLAY" XAUTHORITY="$home/.Xauthority")

# --- The simulated devices, the tool and what it sent. ---
runner=()  # who runs the simulators and the tool: the test user, later root
config_of_runner=""
start_sim() {  # start_sim PORT LOGNAME: a J1939-003 linked as <runner's config>/ZK4/ports/PORT
  local out=$logs/$2.out
  "${runner[@]}" "$pkgroot/usr/bin/zk4-sim" --link-beside "$config_of_runner/ZK4/ZK4.ini" --port "$1" \
    --product J1939-003 --log "$logs/$2.log" >"$out" 2>"$logs/$2.err" &
  sim_pids+=($!)
  if ! wait_until 10 grep -qs '^ready' "$out"; then
    echo "zk4-sim on $1 did not start:" >&2
    cat "$logs/$2.err" >&2
    exit 1
  fi
}
stop_sims() {
  for pid in "${sim_pids[@]}"; do
    stop "$pid"
  done
  sim_pids=()
}

# The commands the host sent, one per line, from a zk4-sim --log file (the trace format).
host_commands() {
  [ -f "$1" ] || return 0  # the simulator has not logged anything yet
  python3 "$root/scripts/wiretrace.py" "$1" 'H>D' | tr -d '\r' |
    grep -oE 'AT (FW=\?|ID\?|RALL|CN=[0-9]+|HZ=[0-9.]+)' || true
}
# Identified: after the last "AT ID?" the tool sent "AT RALL" at least three times, once with
# the connect burst and then alone at two or more ticks. A device that is not identified is
# asked "AT ID?" again at every tick.
identified() {
  host_commands "$1" | awk '/^AT ID\?/ { n = 0 } /^AT RALL/ { n++ } END { exit !(n >= 3) }'
}
not_addressed() { [ -z "$(host_commands "$1")" ]; }
ini=$config/ZK4/ZK4.ini
ini_holds() { printf 'COM=%s;\r\n' "$1" | cmp -s - "$ini"; }
main_window() { xdotool search --onlyvisible --name '^ZK4 \(' 2>/dev/null | head -n 1; }
window_shown() { [ -n "$(main_window)" ]; }
# Message boxes are top-level windows titled exactly "ZK4"; the main window has the long caption.
no_message_box() { ! xdotool search --onlyvisible --name '^ZK4$' >/dev/null 2>&1; }

start_tool() {  # start_tool RUN
  "${runner[@]}" "$pkgroot/usr/bin/ZK4" >"$logs/zk4-$1.out" 2>&1 &
  tool_pid=$!
  if ! wait_until 20 window_shown; then
    check "run $1: the main window opens" false
    cat "$logs/zk4-$1.out"
    finish
  fi
}
exit_tool() {  # exit_tool RUN: the Exit button's mnemonic, then the process must end with 0
  local wid rc=0
  wid=$(main_window)
  xdotool windowfocus --sync "$wid" key alt+x
  if wait_until 10 ended "$tool_pid"; then
    wait "$tool_pid" || rc=$?
    check "run $1: Exit ends the tool, exit status $rc" [ "$rc" -eq 0 ]
  else
    check "run $1: Exit ends the tool" false
    stop "$tool_pid"
  fi
  tool_pid=""
}

# --- Run 1: a new user, nothing written beforehand. ---
echo "== Run 1: a new user; the device on COM1, then COM7 typed into the port box"
runner=("${as_user[@]}")
config_of_runner=$config
start_sim COM1 run1-com1
start_sim COM7 run1-com7
start_tool 1
check "run 1: the device on COM1, the starting port, is identified" \
  wait_until 15 identified "$logs/run1-com1.log"
check "run 1: no message box" no_message_box
check "run 1: ZK4.ini created in \$XDG_CONFIG_HOME/ZK4 holding COM1" wait_until 5 ini_holds 1

# Disconnect, choose COM7 in the port box, Connect; as a person does it.
wid=$(main_window)
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool windowfocus --sync "$wid" key alt+i
# The port box sits at x 32..107, y 17.. of the 356 x 186 dialog units of the window.
xdotool mousemove --window "$wid" $((WIDTH * 60 / 356)) $((HEIGHT * 22 / 186)) click 1
xdotool key ctrl+a
xdotool type --delay 40 COM7
xdotool key alt+o
check "run 1: the device on COM7, typed into the port box, is identified" \
  wait_until 15 identified "$logs/run1-com7.log"
check "run 1: ZK4.ini records COM7" wait_until 5 ini_holds 7
check "run 1: no message box after the change of port" no_message_box
exit_tool 1
stop_sims

# --- Run 2: the same user starts the tool again and types nothing. ---
echo "== Run 2: the same user again, nothing typed"
start_sim COM1 run2-com1
start_sim COM7 run2-com7
start_tool 2
check "run 2: the remembered COM7 is identified" wait_until 15 identified "$logs/run2-com7.log"
check "run 2: COM1 is never addressed" not_addressed "$logs/run2-com1.log"
check "run 2: no message box" no_message_box
check "run 2: ZK4.ini holds exactly \"COM=7;\\r\\n\"" ini_holds 7
exit_tool 2
zk4ctl_reads_the_window_port() {  # as the same user, with no display in the environment
  local out
  out=$(setpriv --reuid="$test_uid" --regid="$test_uid" --clear-groups -- env -i "${user_env[@]}" \
    "$pkgroot/usr/bin/zk4ctl" info --json 2>&1) &&
    grep -q '^{"port":"COM7",.*"product_id":"ZK4-J1939-003",' <<<"$out" ||
    { echo "     $out"; return 1; }
}
check "zk4ctl info --json, no display: COM7 from the window's ZK4.ini, the device's values" \
  zk4ctl_reads_the_window_port
check "zk4ctl left ZK4.ini as it was" ini_holds 7
stop_sims

# --- Run 3: root starts the installed tool. ---
echo "== Run 3: root, from the unpacked package"
root_home=$work/root-home
mkdir -p "$root_home" "$work/runtime-root"
chmod 700 "$root_home" "$work/runtime-root"
runner=(env -i HOME="$root_home" XDG_RUNTIME_DIR="$work/runtime-root" PATH=/usr/bin:/bin
  LANG=C.UTF-8 DISPLAY="$DISPLAY" XAUTHORITY="$work/xauth")
config_of_runner=$root_home/.config
ini=$config_of_runner/ZK4/ZK4.ini
start_sim COM1 run3-com1
start_tool 3
check "run 3: root's tool identifies the device on COM1" wait_until 15 identified "$logs/run3-com1.log"
check "run 3: root's ZK4.ini is in root's ~/.config/ZK4, holding COM1" wait_until 5 ini_holds 1
exit_tool 3
stop_sims
bin_holds_the_programs() {
  local listing
  listing=$(LC_ALL=C ls -A "$pkgroot/usr/bin" | tr '\n' ' ')
  [ "$listing" = "ZK4 zk4-sim zk4ctl " ] || { echo "     usr/bin: $listing"; return 1; }
}
check "run 3: nothing beside the executable, usr/bin holds exactly ZK4 zk4-sim zk4ctl" \
  bin_holds_the_programs

find "$pkgroot" | sort >"$work/root-after"
check "nothing was written into the package's root" cmp -s "$work/root-before" "$work/root-after"
finish
