#!/usr/bin/env bash
# Installs what is missing, builds Korvane, starts the simulated controller
# (korvane-sim) on COM1 for this session, then starts Korvane. When Korvane
# exits the simulator stops and its COM1 mapping is removed. SIGTERM or
# SIGINT (Ctrl+C) to this script is passed on to both programs; it waits for
# them, so the mapping is gone when it returns.
#
#   ./scripts/run.sh                 simulator in real time
#   ./scripts/run.sh --speed 10      process runs ten times faster (quick step responses)
#   ./scripts/run.sh --free-com      use the next free COM name if COM1 is already mapped
#   ./scripts/run.sh --tcp           the simulator serves Modbus TCP on a free loopback port
#                                    and COM1 points at it (--rtu-tcp: RTU frames over TCP)
#
# Any arguments go to korvane-sim (see docs/simulator.md).
# KORVANE_RUN_BIN=DIR runs the programs already built in DIR (no install, no build).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build/run"
BIN="${KORVANE_RUN_BIN:-$BUILD/bin}"

if [ -z "${KORVANE_RUN_BIN:-}" ]; then
  "$ROOT/scripts/install-deps.sh"
  echo "Building Korvane in $BUILD ..."
  BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$ROOT/scripts/build.sh" "$BUILD" -DKORVANE_BUILD_TESTS=OFF
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display (DISPLAY / WAYLAND_DISPLAY unset); Korvane needs one." >&2
  echo "        Without a screen, try: xvfb-run -a ./scripts/run.sh" >&2
  exit 1
fi

# Qt wants a private runtime folder; sessions without a login manager
# (ssh, su, a container) have none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR="$(mktemp -d "${TMPDIR:-/tmp}/korvane-runtime.XXXXXX")"
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
  RUNTIME_MADE=1
fi

# --tcp and --rtu-tcp without a port number take a free one.
SIM_ARGS=()
while [ $# -gt 0 ]; do
  SIM_ARGS+=("$1")
  if { [ "$1" = --tcp ] || [ "$1" = --rtu-tcp ]; } && ! [[ "${2:-}" =~ ^[0-9]+$ ]]; then SIM_ARGS+=(0); fi
  shift
done

SIM_LOG="$(mktemp "${TMPDIR:-/tmp}/korvane-sim.XXXXXX")"
"$BIN/korvane-sim" ${SIM_ARGS[@]+"${SIM_ARGS[@]}"} </dev/null >"$SIM_LOG" 2>&1 &
SIM_PID=$!
KORVANE_PID=""
stop_sim() {
  if kill -0 "$SIM_PID" 2>/dev/null; then
    kill -TERM "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
  rm -f "$SIM_LOG"
  if [ -n "${RUNTIME_MADE:-}" ]; then rm -rf "$XDG_RUNTIME_DIR"; fi
}
# Passes a signal on to both programs and waits for them: Korvane closes its
# window (and port) as on File > Exit, the simulator removes its mapping.
# (Programs started with & ignore SIGINT in a script; both set their own
# handlers, so the signal they are sent still reaches them.)
pass_on() {
  trap '' INT TERM
  if [ -n "$KORVANE_PID" ]; then kill -"$1" "$KORVANE_PID" 2>/dev/null || true; fi
  kill -"$1" "$SIM_PID" 2>/dev/null || true
  if [ -n "$KORVANE_PID" ]; then wait "$KORVANE_PID" 2>/dev/null || true; fi
  wait "$SIM_PID" 2>/dev/null || true
  exit "$2"
}
trap stop_sim EXIT
trap 'pass_on INT 130' INT
trap 'pass_on TERM 143' TERM

# Wait for the simulator's "ready" line (it maps its COM name before).
for _ in $(seq 1 50); do
  if grep -q '^korvane-sim: ready' "$SIM_LOG"; then break; fi
  if ! kill -0 "$SIM_PID" 2>/dev/null; then
    cat "$SIM_LOG" >&2
    echo "run.sh: the simulator did not start (see above). If your COM1 is mapped to a" >&2
    echo "        device of yours, run: ./scripts/run.sh --free-com   (or --com COM2)" >&2
    exit 1
  fi
  sleep 0.1
done
grep '^korvane-sim: ' "$SIM_LOG" | grep -v ready || true
COM="$(sed -n 's/^korvane-sim: \(COM[0-9]*\) -> .*/\1/p' "$SIM_LOG")"
echo
echo "Simulated controller on ${COM:-?}. In Korvane: menu Config, pick ${COM:-COM1}, tick \"Port Active\", press OK."
echo

# In the background, so this shell can take a signal while Korvane runs
# (a foreground program would hold any trap until it had ended).
"$BIN/korvane" </dev/null &
KORVANE_PID=$!
status=0
wait "$KORVANE_PID" || status=$?
exit "$status"
