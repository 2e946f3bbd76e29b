#!/usr/bin/env bash
# Korvane's processor time per poll over a serial line and over Modbus TCP,
# side by side in one run: korvane-sim on a pseudo-terminal and as a Modbus
# TCP server on the loopback (and RTU over TCP), each polled by
# poll_cpu_bench (the core as the program wires it) with the same count and
# period. Needs a build with benchmarks:
#   scripts/build.sh build/dev -DKORVANE_BUILD_BENCH=ON
#
#   scripts/measure-poll-cpu.sh [BUILD-DIR=build/dev] [polls=400] [period-ms=100]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="${1:-$ROOT/build/dev}/bin"
POLLS="${2:-400}"
PERIOD="${3:-100}"
HOME_DIR="$(mktemp -d)"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$HOME_DIR"' EXIT

start_sim() {  # COM-NAME ARGS...
  local log="$HOME_DIR/sim-$1.log"
  XDG_CONFIG_HOME="$HOME_DIR" "$BIN/korvane-sim" --com "$1" "${@:2}" --noise 0 </dev/null >"$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q ready "$log" && return; sleep 0.05; done
  cat "$log"; exit 1
}
start_sim COM1
start_sim COM2 --tcp 0
start_sim COM3 --rtu-tcp 0
for com in 1 2 3; do
  "$BIN/poll_cpu_bench" "$HOME_DIR/korvane/ports" "$com" "$POLLS" "$PERIOD"
done
