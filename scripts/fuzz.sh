#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each of them in turn.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS is the time per target (default 60); without TARGETs all five run. Each target
# works on its own corpus under build-fuzz/fuzz-corpus/, seeded from tests/fuzz/corpus/ (the
# committed seeds are only read). Crash inputs land in build-fuzz/fuzz-crashes/, logs in
# build-fuzz/fuzz-logs/. Exits non-zero when any target found a crash.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_framer fuzz_settings_loader fuzz_hz_command fuzz_link)
fi
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS] [TARGET...]" >&2
  exit 2
fi

max_len() {
  case $1 in
    fuzz_settings_loader) echo 1048576 ;;
    fuzz_framer) echo 4096 ;;
    fuzz_hz_command) echo 256 ;;
    fuzz_link) echo 2048 ;;
    *) echo 64 ;;
  esac
}

# --- Packages: clang and the clang runtime that holds libFuzzer (libclang_rt.fuzzer). ---
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
apt_install() {
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  echo "Installing: $*"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}
missing=()
for p in build-essential cmake clang qt6-base-dev qt6-serialport-dev libgl-dev; do
  installed "$p" || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
  apt_install "${missing[@]}"
fi
# On Debian the fuzzer runtime of clang N is in libclang-rt-N-dev (libclang-rt-dev only
# depends on the one for the default clang).
clang_major=$(clang -dumpversion | cut -d. -f1)
installed "libclang-rt-$clang_major-dev" || apt_install "libclang-rt-$clang_major-dev"
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
  >"$probe/probe.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe"; then
  echo "clang++ cannot link a libFuzzer program; is libclang-rt-$clang_major-dev installed?" >&2
  exit 1
fi

# --- Build. ---
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DZK4_BUILD_FUZZ=ON -DZK4_BUILD_TESTS=OFF \
  -DZK4_BUILD_BENCH=OFF -DZK4_WERROR=ON >/dev/null
cmake --build "$build" --target "${targets[@]}" -j"$(nproc)"

# --- Run. ---
mkdir -p "$build/fuzz-crashes" "$build/fuzz-logs" "$build/fuzz-tmp"
# The settings loader makes its scratch folder under TMPDIR; keep it inside the build tree.
export TMPDIR=$build/fuzz-tmp
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
summary=()
for t in "${targets[@]}"; do
  corpus=$build/fuzz-corpus/$t
  mkdir -p "$corpus"
  cp -n "$root/tests/fuzz/corpus/$t/"* "$corpus/" 2>/dev/null || true
  log=$build/fuzz-logs/$t.log
  echo "== $t: ${seconds}s, -max_len=$(max_len "$t")"
  rc=0
  "$build/tests/fuzz/$t" "$corpus" -max_total_time="$seconds" -max_len="$(max_len "$t")" \
    -timeout=25 -print_final_stats=1 -artifact_prefix="$build/fuzz-crashes/$t-" \
    >"$log" 2>&1 || rc=$?
  stats=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE)' "$log" | tail -n 1 || true)
  echo "   ${stats:-no stats (see $log)}"
  if ((rc != 0)); then
    crash=$(grep -oE 'Test unit written to .*' "$log" | sed 's/^Test unit written to //' || true)
    echo "   FAILED (exit $rc): crash input ${crash:-not written}; log $log"
    failed+=("$t")
  fi
  summary+=("$t: ${stats:-?}")
done

echo "== Summary"
printf '   %s\n' "${summary[@]}"
if ((${#failed[@]} > 0)); then
  echo "Crashes found by: ${failed[*]} (inputs in $build/fuzz-crashes/)" >&2
  exit 1
fi
echo "No crashes."
