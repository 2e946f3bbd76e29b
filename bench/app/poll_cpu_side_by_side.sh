#!/usr/bin/env bash
# CPU of two builds of the main window side by side in one run: each
# korvane_poll_probe (offscreen) polls its own peer once a second, and the
# processor time each uses over a window after the warm-up is printed as a
# share of one core. The time is read from each process's CPU clock (all its
# threads, in nanoseconds), not from /proc utime + stime, whose 10 ms ticks
# are too coarse for a process that uses a few tenths of a percent.
#
#   bench/app/poll_cpu_side_by_side.sh OLD_BUILD NEW_BUILD [docks=0] [warm-up-s=10] [window-s=120]
#
# PEER=flood polls tests/peers/flood_peer.py (about 20 receive events a
# second) instead of korvane-sim; PREFILL=S stores S seconds of samples first
# (PREFILL=400 PEER=flood is the flood figure). SIM names the korvane-sim to
# use (default: NEW_BUILD's).
set -euo pipefail
OLD="${1:?usage: poll_cpu_side_by_side.sh OLD_BUILD NEW_BUILD [docks] [warm-up-s] [window-s]}"
NEW="${2:?usage: poll_cpu_side_by_side.sh OLD_BUILD NEW_BUILD [docks] [warm-up-s] [window-s]}"
DOCKS="${3:-0}"
WARM="${4:-10}"
WINDOW="${5:-120}"
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
TMP="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen

# The process CPU clock of PID: clockid ((~PID) << 3) | 2, as
# clock_getcpuclockid gives it.
cpu_ns() { python3 -c 'import sys, time; print(time.clock_gettime_ns(((~int(sys.argv[1])) << 3) | 2))' "$1"; }

start() {  # NAME BUILD: a peer and a probe with their own port folder
  local home="$TMP/$1"
  mkdir -p "$home/run" && chmod 700 "$home/run"
  export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run"
  if [ "${PEER:-sim}" = flood ]; then
    /usr/bin/python3 "$ROOT/tests/peers/flood_peer.py" --com COM1 >"$home/peer.log" 2>&1 &
  else
    "${SIM:-$NEW/bin/korvane-sim}" --com COM1 >"$home/peer.log" 2>&1 &
  fi
  pids+=($!)
  for _ in $(seq 100); do [ -e "$XDG_CONFIG_HOME/korvane/ports/COM1" ] && break; sleep 0.05; done
  "$2/bin/korvane_poll_probe" --seconds $((WARM + WINDOW + 5)) --docks "$DOCKS" --prefill "${PREFILL:-0}" \
    >"$home/probe.log" 2>&1 &
  pids+=($!)
  echo $! >"$home/pid"
}
start old "$OLD"
start new "$NEW"
OLD_PID="$(cat "$TMP/old/pid")"
NEW_PID="$(cat "$TMP/new/pid")"
sleep "$WARM"
o0="$(cpu_ns "$OLD_PID")"; n0="$(cpu_ns "$NEW_PID")"; t0="$(date +%s.%N)"
sleep "$WINDOW"
o1="$(cpu_ns "$OLD_PID")"; n1="$(cpu_ns "$NEW_PID")"; t1="$(date +%s.%N)"
python3 - "$o0" "$o1" "$n0" "$n1" "$t0" "$t1" "$DOCKS" "${PEER:-sim}" <<'PY'
import sys
o0, o1, n0, n1 = (int(x) for x in sys.argv[1:5])
t0, t1 = float(sys.argv[5]), float(sys.argv[6])
wall = t1 - t0
old = 100.0 * (o1 - o0) / 1e9 / wall
new = 100.0 * (n1 - n0) / 1e9 / wall
print(f"docks={sys.argv[7]} peer={sys.argv[8]}, {wall:.0f} s: old {old:.2f} % of a core, "
      f"new {new:.2f} %, new/old {new / old if old else float('nan'):.2f}")
PY
