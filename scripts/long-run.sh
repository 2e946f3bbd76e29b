#!/usr/bin/env bash
# Korvane left alone on a plant PC, in fast motion: korvane_poll_probe
# (the main window, offscreen, the Link and Frames docks open, the data log
# recording every tick) polls korvane-sim at POLL_MS, the simulator running
# the process SPEED times faster and injecting line faults now and then
# (drops, bad checksums, late, split and noisy replies, exceptions, and a
# few seconds of silence every SILENT_S). Every SAMPLE_S the resident
# memory, open descriptors, threads, log lines, reads and answered reads
# are written to OUT/samples.tsv; at the end a table per process hour and
# the slopes of memory and descriptors after the first hour.
#
#   scripts/long-run.sh [process-hours=24] [BUILD-DIR=build]
#   SPEED=24 POLL_MS=100 SAMPLE_S=30 SILENT_S=300 OUT=DIR NICE=10
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
HOURS="${1:-24}"
BIN="$(cd "${2:-$ROOT/build}" && pwd)/bin"
SPEED="${SPEED:-24}"
POLL_MS="${POLL_MS:-100}"
SAMPLE_S="${SAMPLE_S:-30}"
SILENT_S="${SILENT_S:-300}"
NICE="${NICE:-10}"
OUT="${OUT:-$(mktemp -d)}"
mkdir -p "$OUT/run" && chmod 700 "$OUT/run"
export XDG_CONFIG_HOME="$OUT/config" XDG_DATA_HOME="$OUT/data" XDG_RUNTIME_DIR="$OUT/run" QT_QPA_PLATFORM=offscreen
WALL=$(((HOURS * 3600 + SPEED - 1) / SPEED))
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# The simulator reads fault commands from a pipe the script keeps open.
mkfifo "$OUT/sim.in"
nice -n "$NICE" "$BIN/korvane-sim" --com COM1 --speed "$SPEED" --seed 7 \
  --fault drop:every=400 --fault corrupt:every=701 --fault late:ms=250,every=997 \
  --fault split:pieces=3,pause=20,every=1301 --fault noise:bytes=5,every=1703 --fault exception:code=4,every=2003 \
  <"$OUT/sim.in" >"$OUT/sim.log" 2>&1 &
pids+=($!)
exec 3>"$OUT/sim.in"
for _ in $(seq 100); do grep -q ready "$OUT/sim.log" && break; sleep 0.05; done
nice -n "$NICE" "$BIN/korvane_poll_probe" --seconds "$WALL" --docks 1 --poll-ms "$POLL_MS" --log "$OUT/long.log" \
  >"$OUT/probe.log" 2>"$OUT/probe.err" &
PROBE=$!
pids+=("$PROBE")

printf 'wall_s\tprocess_h\trss_kb\tfds\tthreads\tlog_lines\treads\tanswered\n' >"$OUT/samples.tsv"
start=$(date +%s)
next_silent=$SILENT_S
while kill -0 "$PROBE" 2>/dev/null; do
  sleep "$SAMPLE_S"
  now=$(($(date +%s) - start))
  [ -r "/proc/$PROBE/status" ] || break
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$PROBE/status")
  threads=$(awk '/^Threads/ {print $2}' "/proc/$PROBE/status")
  fds=$(ls "/proc/$PROBE/fd" 2>/dev/null | wc -l)
  lines=$(wc -l <"$OUT/long.log")
  counts=$(grep '^reads' "$OUT/probe.log" | tail -1 | awk '{print $2 "\t" $4}' || true)
  printf '%s\t%.3f\t%s\t%s\t%s\t%s\t%s\n' "$now" "$(echo "$now * $SPEED / 3600" | bc -l)" "$rss" "$fds" "$threads" \
    "$lines" "${counts:-0	0}" >>"$OUT/samples.tsv"
  if [ "$now" -ge "$next_silent" ]; then
    echo "fault silent count=30" >&3 || true
    next_silent=$((next_silent + SILENT_S))
  fi
done
wait "$PROBE" || echo "korvane_poll_probe ended with $?" >&2
echo "quit" >&3 || true

python3 - "$OUT/samples.tsv" "$OUT/long.log" <<'PY'
import sys
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1])][1:]
rows = [[float(x) for x in r] for r in rows if len(r) == 8]
print("hour  RSS kB  fds  threads  log lines  reads  answered")
shown = set()
for r in rows:
    h = int(r[1])
    if h not in shown:
        shown.add(h)
        print(f"{r[1]:5.1f} {r[2]:7.0f} {r[3]:4.0f} {r[4]:7.0f} {r[5]:10.0f} {r[6]:6.0f} {r[7]:9.0f}")
r = rows[-1]
print(f"{r[1]:5.1f} {r[2]:7.0f} {r[3]:4.0f} {r[4]:7.0f} {r[5]:10.0f} {r[6]:6.0f} {r[7]:9.0f}  (last)")
def slope(xs, ys):
    n = len(xs); mx = sum(xs) / n; my = sum(ys) / n
    sxx = sum((x - mx) ** 2 for x in xs)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sxx if sxx else float("nan")
late = [r for r in rows if r[1] >= 1.0]
if len(late) > 2:
    xs = [r[1] for r in late]
    print(f"after hour 1: RSS {slope(xs, [r[2] for r in late]):+.2f} kB per process hour, "
          f"fds {slope(xs, [r[3] for r in late]):+.3f} per process hour, "
          f"threads {slope(xs, [r[4] for r in late]):+.3f} per process hour")
# Every tick writes one line; every answered read came on a tick.
data = sum(1 for l in open(sys.argv[2], newline="") if l[:1].isdigit())
print(f"log data lines {data}, reads {r[6]:.0f}, answered {r[7]:.0f}: "
      + ("no line missing" if data >= r[7] else "LINES MISSING"))
PY
