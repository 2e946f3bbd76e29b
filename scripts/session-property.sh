#!/usr/bin/env bash
# The tuning session's random runs at length: RUNS runs (from seed FIRST) in
# chunks of CHUNK, JOBS chunks at a time, each chunk one run of the
# property test. Prints every chunk's line and the totals; a failing run
# prints its seed and its events cut down to a test row.
#
#   scripts/session-property.sh [RUNS=200000] [BUILD-DIR=build]
#   FIRST=1 CHUNK=10000 JOBS=2 NICE=10
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
RUNS="${1:-200000}"
BIN="$(cd "${2:-$ROOT/build}" && pwd)/bin/session_tests"
FIRST="${FIRST:-1}"
CHUNK="${CHUNK:-10000}"
JOBS="${JOBS:-2}"
NICE="${NICE:-10}"
OUT="$(mktemp -d)"
trap 'rm -rf "$OUT"' EXIT

chunk() {  # SEED COUNT
  KORVANE_SESSION_SEED="$1" KORVANE_SESSION_RUNS="$2" nice -n "$NICE" "$BIN" \
    --gtest_filter='TuningSessionProperty.*' >"$OUT/$1.log" 2>&1 || true
  grep -E '^[0-9]+ runs from|^seed |as a row|fails with' "$OUT/$1.log"
}

seed="$FIRST"
end=$((FIRST + RUNS))
while [ "$seed" -lt "$end" ]; do
  for _ in $(seq "$JOBS"); do
    [ "$seed" -lt "$end" ] || break
    count=$((end - seed < CHUNK ? end - seed : CHUNK))
    chunk "$seed" "$count" &
    seed=$((seed + count))
  done
  wait
done
cat "$OUT"/*.log | awk '/ runs from seed / {runs += $1; started += $6; failed += $10}
  END {printf "total: %d runs, %d started a session, %d failed\n", runs, started, failed}'
