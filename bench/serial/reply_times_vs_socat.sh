#!/usr/bin/env bash
# Compares the reply times the Link dock shows with those a line sniffer logs
# on the same line. link_reply_bench polls korvane_rtu_slave (libmodbus)
# through `socat -x -v`, whose time-stamped log gives, for every request, the
# time from the request passing socat to the last piece of its reply passing
# it. Both figures: mean, and 95th percentile (nearest rank) over the latest
# 200 replies, as the dock computes it.
#
#   bench/serial/reply_times_vs_socat.sh BUILD_DIR [polls=200] [slave-reply-delay-ms=0]
set -euo pipefail
BUILD="${1:?usage: reply_times_vs_socat.sh BUILD_DIR [polls] [reply-delay-ms]}"
POLLS="${2:-200}"
REPLY_DELAY="${3:-0}"
DIR="$(mktemp -d)"
SOCAT_PID=""
SLAVE_PID=""
cleanup() {
  [ -n "$SLAVE_PID" ] && kill "$SLAVE_PID" 2>/dev/null || true
  [ -n "$SOCAT_PID" ] && kill "$SOCAT_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$DIR"
}
trap cleanup EXIT

socat -x -v "pty,raw,echo=0,link=$DIR/korvane" "pty,raw,echo=0,link=$DIR/slave" 2>"$DIR/socat.log" &
SOCAT_PID=$!
for _ in $(seq 100); do [ -e "$DIR/korvane" ] && [ -e "$DIR/slave" ] && break; sleep 0.05; done
"$BUILD/bin/korvane_rtu_slave" --device "$DIR/slave" --count 20 --reply-delay "$REPLY_DELAY" \
  </dev/null >"$DIR/slave.log" &
SLAVE_PID=$!
for _ in $(seq 100); do grep -q ready "$DIR/slave.log" 2>/dev/null && break; sleep 0.05; done

"$BUILD/bin/link_reply_bench" "$DIR/korvane" "$POLLS" 100 >"$DIR/dock.txt"
sleep 0.2
python3 - "$DIR/socat.log" "$DIR/dock.txt" "$REPLY_DELAY" <<'PY'
import math, re, sys
log, dock, delay = sys.argv[1], sys.argv[2], sys.argv[3]
# "> 2026/12/08 10:34:49.000635946  length=8 from=0 to=7": '>' from Korvane's
# side, '<' from the slave's. socat 1.7.4 prints the microseconds in a
# nine-digit field, so the fraction is read as a count of microseconds.
head = re.compile(r'^([<>]) \d{4}/\d\d/\d\d (\d\d):(\d\d):(\d\d)\.(\d+)\s+length=(\d+)')
chunks = []
for line in open(log, errors='replace'):
    m = head.match(line)
    if m:
        h, mi, s, frac = (int(x) for x in m.group(2, 3, 4, 5))
        chunks.append((m.group(1), (h * 3600 + mi * 60 + s) * 1000.0 + frac / 1000.0, int(m.group(6))))
times = []
sent = None
last = None
for direction, t, n in chunks:
    if direction == '>':
        if sent is not None and last is not None:
            times.append(last - sent)
        sent, last = t, None
    else:
        last = t
if sent is not None and last is not None:
    times.append(last - sent)
# The "Open Port" text gets no reply; every request after it does.
window = times[-200:]
rank = math.ceil(0.95 * len(window))
p95 = sorted(window)[rank - 1] if window else 0.0
mean = sum(times) / len(times) if times else 0.0
d = dict(re.findall(r'(\w[\w-]*) ([\d.]+)', open(dock).read()))
print(f"slave reply delay {delay} ms, {len(times)} replies seen by socat")
print(f"{'':16} {'mean ms':>8} {'p95 ms':>8}")
print(f"{'socat (wire)':16} {mean:8.2f} {p95:8.2f}")
print(f"{'Link dock':16} {float(d.get('mean', 'nan')):8.2f} {float(d.get('p95', 'nan')):8.2f}")
print(open(dock).read().strip())
PY
