#!/usr/bin/env bash
# scripts/run.sh passes SIGTERM and SIGINT on: both programs end, run.sh
# waits for them, and the simulator's COM1 mapping is gone when it returns.
#   run_signals_test.sh SOURCE_DIR BIN_DIR
set -euo pipefail
SOURCE="$1"
BIN="$2"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$XDG_RUNTIME_DIR"
MAPPING="$XDG_CONFIG_HOME/korvane/ports/COM1"
failures=0

# Waits up to $2 tenths of a second for the command $1 to succeed.
within() {
  for _ in $(seq 1 "$2"); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  return 1
}

for sig in TERM INT; do
  # A program started with & from a script ignores SIGINT, and a shell can
  # never trap a signal ignored at its start: run.sh gets SIGINT back as in
  # a terminal.
  env --default-signal=INT KORVANE_RUN_BIN="$BIN" "$SOURCE/scripts/run.sh" --noise 0 >"$WORK/run.log" 2>&1 &
  run=$!
  child() { pgrep -P "$run" -x "$1" || true; }
  if ! within '[ -L "$MAPPING" ] && [ -n "$(child korvane)" ]' 100; then
    echo "SIG$sig: run.sh did not start both programs"; cat "$WORK/run.log"; kill "$run"; exit 1
  fi
  korvane="$(child korvane)"
  sim="$(child korvane-sim)"
  sleep 0.5  # Korvane's window is up and its handlers are in place
  kill -"$sig" "$run"
  status=0
  if within '! kill -0 "$run" 2>/dev/null' 100; then
    wait "$run" || status=$?
  else
    echo "SIG$sig: run.sh still runs 10 s after the signal"; kill -KILL "$run" "$korvane" "$sim" 2>/dev/null; exit 1
  fi
  result="exit $status"
  for pid in "$korvane" "$sim"; do
    if kill -0 "$pid" 2>/dev/null; then result="$result, pid $pid still runs"; kill -KILL "$pid"; fi
  done
  if [ -e "$MAPPING" ] || [ -L "$MAPPING" ]; then result="$result, mapping left"; fi
  expected="exit $((128 + $(kill -l "$sig")))"
  if [ "$result" = "$expected" ]; then
    echo "SIG$sig: passed on; Korvane and korvane-sim ended, mapping removed ($result)"
  else
    echo "SIG$sig: FAILED: $result (expected $expected)"; cat "$WORK/run.log"; failures=$((failures + 1))
  fi
done
exit "$failures"
