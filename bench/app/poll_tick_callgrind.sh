#!/usr/bin/env bash
# Instructions per poll tick of the real main window: korvane_poll_probe
# (offscreen) polls korvane-sim on COM1 once a second; callgrind counts the
# instructions of a window after the warm-up, and the count is divided by the
# poll ticks in that window. Instruction counts repeat closely from run to
# run even on a busy machine, unlike CPU seconds.
#
#   bench/app/poll_tick_callgrind.sh BUILD_DIR [docks=0] [warm-up-s=10] [window-s=30] [out-file]
#
# docks=1 shows the Link and Frames docks. With out-file the callgrind
# profile is kept there (callgrind_annotate reads it). PEER=flood polls
# tests/peers/flood_peer.py instead (a reply in pieces and noise bytes, about
# 20 receive events a second); PREFILL=S stores S seconds of samples first,
# so the chart's window is full from the start (PREFILL=400 with PEER=flood
# is the flood figure); SIM names another korvane-sim.
set -euo pipefail
BUILD="${1:?usage: poll_tick_callgrind.sh BUILD_DIR [docks] [warm-up-s] [window-s] [out-file]}"
DOCKS="${2:-0}"
WARM="${3:-10}"
WINDOW="${4:-30}"
KEEP="${5:-}"
TMP="$(mktemp -d)"
SIM_PID=""
PROBE_PID=""
cleanup() {
  [ -n "$PROBE_PID" ] && kill "$PROBE_PID" 2>/dev/null || true
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$TMP/config" XDG_DATA_HOME="$TMP/data" XDG_RUNTIME_DIR="$TMP/run"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
if [ "${PEER:-sim}" = flood ]; then
  /usr/bin/python3 "$ROOT/tests/peers/flood_peer.py" --com COM1 >"$TMP/sim.log" 2>&1 &
else
  "${SIM:-$BUILD/bin/korvane-sim}" --com COM1 >"$TMP/sim.log" 2>&1 &
fi
SIM_PID=$!
for _ in $(seq 100); do [ -e "$XDG_CONFIG_HOME/korvane/ports/COM1" ] && break; sleep 0.05; done

valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$TMP/callgrind.out" \
  "$BUILD/bin/korvane_poll_probe" --seconds $((WARM + WINDOW + 15)) --docks "$DOCKS" --prefill "${PREFILL:-0}" \
  >"$TMP/probe.log" 2>"$TMP/valgrind.log" &
PROBE_PID=$!
for _ in $(seq 1200); do grep -q polling "$TMP/probe.log" 2>/dev/null && break; sleep 0.1; done
grep -q polling "$TMP/probe.log" || { cat "$TMP/probe.log" "$TMP/valgrind.log"; exit 1; }
sleep "$WARM"
callgrind_control -i on "$PROBE_PID" >/dev/null
sleep "$WINDOW"
callgrind_control -i off "$PROBE_PID" >/dev/null
wait "$PROBE_PID" || true
PROBE_PID=""
[ -n "$KEEP" ] && cp "$TMP/callgrind.out" "$KEEP"

python3 - "$TMP/callgrind.out" "$DOCKS" "${PEER:-sim}" <<'PY'
import re, sys
path, docks, peer = sys.argv[1], sys.argv[2], sys.argv[3]
names, calls, total = {}, {}, 0
pending = None
for line in open(path, errors='replace'):
    if line.startswith(('fn=', 'cfn=')):
        m = re.match(r'c?fn=\((\d+)\)(?: (.*))?', line.strip())
        if m:
            if m.group(2):
                names[m.group(1)] = m.group(2)
            pending = m.group(1) if line.startswith('cfn=') else None
        continue
    if line.startswith('calls=') and pending is not None:
        calls[pending] = calls.get(pending, 0) + int(line.split('=')[1].split()[0])
        pending = None
        continue
    if line.startswith('summary:') or line.startswith('totals:'):
        total = int(line.split()[1])
def count(fragment):
    return sum(n for i, n in calls.items() if fragment in names.get(i, ''))
ticks = count('PollCycle::PollTimerTimer')
receives = count('PollCycle::Serial1PortReceive(')
print(f"docks={docks} peer={peer}: {total} instructions, {ticks} poll ticks, {receives} receive events: "
      f"{total / max(ticks, 1) / 1e6:.2f} M instructions per poll tick")
PY
