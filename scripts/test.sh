#!/usr/bin/env bash
# Installs what is missing, builds Korvane and runs every test:
#   1. the whole suite in a normal build (benchmarks are built, not run), its
#      slow tests in the background while the stages below run;
#   2. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the threaded serial tests under ThreadSanitizer;
#   4. each fuzz target for a short smoke run;
#   5. the core and serial tests cross-built for Windows and run under wine;
#   6. the Debian package built, installed with apt-get, checked and removed.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
"$ROOT/scripts/install-deps.sh"

OUT="${KORVANE_BUILD_ROOT:-$ROOT/build}"
JOBS="$(nproc)"
# Test programs that run the serial receive thread (ctest label "threaded").
THREADED_TESTS="serial_fake_device_test serial_pty_test serial_end_to_end_test sim_korvane_test network_tcp_test ports_control_test tcp_end_to_end_test"
stage() { echo "== $1 (at ${SECONDS}s)"; }
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"

stage "normal build"
"$ROOT/scripts/build.sh" "$OUT/ci" -DKORVANE_BUILD_BENCH=ON
stage "tests"
ctest --test-dir "$OUT/ci" -j "$JOBS" -LE slow --output-on-failure --timeout 300

# The slow tests (loop identification and the tuning window against the
# simulator) mostly wait on the simulator's process time, so they run in the
# background while the stages below build and test; those stages run at a
# lower priority so that the slow tests' polls keep their timing.
stage "slow tests started in the background"
SLOW_LOG="$OUT/slow-tests.log"
ctest --test-dir "$OUT/ci" -j "$JOBS" -L slow --output-on-failure --timeout 900 >"$SLOW_LOG" 2>&1 &
SLOW_PID=$!
trap 'kill "$SLOW_PID" 2>/dev/null || true' EXIT
renice -n 10 -p $$ >/dev/null

stage "AddressSanitizer + UndefinedBehaviorSanitizer build"
BUILD_TYPE=Debug "$ROOT/scripts/build.sh" "$OUT/asan" -DKORVANE_SANITIZE=ON
stage "tests under ASan + UBSan"
# The tuning session's random runs: a tenth of the normal build's count,
# since the sanitized debug build fits each run's model about ten times slower.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  KORVANE_SESSION_RUNS=100 ctest --test-dir "$OUT/asan" -j "$JOBS" -LE slow --output-on-failure --timeout 600

stage "ThreadSanitizer build (the threaded tests only)"
BUILD_TYPE=Debug TARGETS="$THREADED_TESTS" "$ROOT/scripts/build.sh" "$OUT/tsan" -DKORVANE_TSAN=ON -DKORVANE_BUILD_GUI=OFF
stage "threaded tests under TSan"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$OUT/tsan" -L threaded -j "$JOBS" --output-on-failure --timeout 600

if [ -f "$ROOT/fuzz/CMakeLists.txt" ] && ls "$ROOT"/fuzz/fuzz_*.cpp >/dev/null 2>&1; then
  stage "fuzz smoke runs"
  CXX=clang++-14 TARGETS="$(cd "$ROOT/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//' | tr '\n' ' ')" \
    "$ROOT/scripts/build.sh" "$OUT/fuzz" -DKORVANE_BUILD_FUZZ=ON -DKORVANE_BUILD_GUI=OFF -DKORVANE_BUILD_TESTS=OFF
  # As many targets at once as there are cores, each for its full time.
  fuzz_one() {  # TARGET LOG: runs it; its exit status goes to LOG.rc
    local rc=0
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$1" -max_total_time="${FUZZ_SECONDS:-10}" \
      -print_final_stats=1 >"$2" 2>&1 || rc=$?
    echo "$rc" >"$2.rc"
  }
  targets=("$OUT"/fuzz/bin/fuzz_*)
  for ((i = 0; i < ${#targets[@]}; i += JOBS)); do
    pids=()
    for f in "${targets[@]:i:JOBS}"; do
      fuzz_one "$f" "$OUT/fuzz/$(basename "$f").log" &
      pids+=($!)
    done
    wait "${pids[@]}" || true  # these only: the slow tests run on in the background
    for f in "${targets[@]:i:JOBS}"; do
      log="$OUT/fuzz/$(basename "$f").log"
      echo "-- $(basename "$f")"
      if [ "$(cat "$log.rc")" != 0 ]; then
        tail -n 60 "$log"; echo "fuzz target $(basename "$f") failed"; exit 1
      fi
      grep -E "stat::number_of_executed_units" "$log" || true
    done
  done
fi
stage "Windows cross build and tests under wine"
"$ROOT/scripts/test-windows.sh"
stage "Debian package: build, apt-get install, check, lintian, remove"
"$ROOT/scripts/test-package.sh" "$OUT/package"
stage "waiting for the slow tests"
slow_rc=0
wait "$SLOW_PID" || slow_rc=$?
trap - EXIT
grep -E "tests passed|tests failed|Test +#" "$SLOW_LOG" || true
if [ "$slow_rc" -ne 0 ]; then cat "$SLOW_LOG"; echo "slow tests failed"; exit 1; fi
echo "== all test stages passed in ${SECONDS}s"
