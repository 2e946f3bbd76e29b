#!/usr/bin/env bash
# Cross-builds the GUI-free core, the serial layer and their tests for
# Windows (mingw-w64, cmake/toolchain-mingw64.cmake) and runs them under wine:
#   COM1  a pseudo-terminal with the libmodbus RTU slave (built natively) on
#         its far end, started with --values 250,-100,7;
#   COM2  a pseudo-terminal whose far end echoes every byte.
# Installs what is missing with apt-get. Folders (under KORVANE_BUILD_ROOT,
# default build/): windows (the cross build, its wine prefix and the port
# links) and windows-peer (the native Modbus slave).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${KORVANE_BUILD_ROOT:-$ROOT/build}"
WIN="$OUT/windows"
PEER="$OUT/windows-peer"
JOBS="$(nproc)"
step() { echo "-- $1 (at ${SECONDS}s)"; }

"$ROOT/scripts/install-deps.sh" g++-mingw-w64-x86-64 wine wine64 googletest \
  g++ cmake ninja-build pkg-config libgtest-dev libmodbus-dev socat

step "cross build"
mkdir -p "$WIN"
cmake -S "$ROOT" -B "$WIN" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw64.cmake" >/dev/null
cmake --build "$WIN" -j "$JOBS" >"$WIN/build.log" 2>&1 || { grep -vE '^\[[0-9]+/[0-9]+\] ' "$WIN/build.log"; exit 1; }
grep -vE '^\[[0-9]+/[0-9]+\] ' "$WIN/build.log" || true

step "native Modbus slave"
cmake -S "$ROOT" -B "$PEER" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_BUILD_GUI=OFF -DKORVANE_BUILD_TOOLS=OFF >/dev/null
cmake --build "$PEER" --target korvane_rtu_slave >"$PEER/build.log" 2>&1 || { cat "$PEER/build.log"; exit 1; }

export WINEPREFIX="$WIN/wineprefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "wine prefix"
  wineboot -i >/dev/null 2>&1
fi

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k >>"$WIN/wineserver.log" 2>&1 || true
}
trap cleanup EXIT

step "pseudo-terminals and peers"
rm -f "$WIN/com1" "$WIN/com1-peer" "$WIN/com2"
socat pty,raw,echo=0,link="$WIN/com1" pty,raw,echo=0,link="$WIN/com1-peer" 2>"$WIN/socat-com1.log" &
pids+=($!)
socat pty,raw,echo=0,link="$WIN/com2" exec:cat 2>"$WIN/socat-com2.log" &
pids+=($!)
for i in $(seq 100); do
  [ -e "$WIN/com1" ] && [ -e "$WIN/com1-peer" ] && [ -e "$WIN/com2" ] && break
  sleep 0.05
done
"$PEER/bin/korvane_rtu_slave" --device "$WIN/com1-peer" --values 250,-100,7 >"$WIN/rtu-slave.log" 2>&1 &
pids+=($!)
for i in $(seq 100); do
  grep -q ready "$WIN/rtu-slave.log" && break
  sleep 0.05
done
grep -q ready "$WIN/rtu-slave.log" || { cat "$WIN/rtu-slave.log"; echo "the RTU slave did not start"; exit 1; }

# COM ports come from wine's registry; a new server reads it at start.
# A persistent server spares each test program wine's start-up.
wineserver -k 2>/dev/null || true  # one left from a previous run or wineboot
wineserver -w 2>/dev/null || true
wineserver -p >>"$WIN/wineserver.log" 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$WIN/com1" /f >/dev/null
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$WIN/com2" /f >/dev/null
wineserver -k >>"$WIN/wineserver.log" 2>&1
wineserver -w 2>/dev/null || true
wineserver -p >>"$WIN/wineserver.log" 2>&1
# Wine's own services start with the first program and keep its output
# open: start them here, so that ctest never waits on them.
wineboot >/dev/null 2>&1

step "tests under wine"
# A test program under wine now and then ends at start-up without a word
# (seen on two different tests, each passing when run again): such a test
# gets one more run; a test that fails twice fails the stage.
ctest --test-dir "$WIN" -j "$JOBS" --output-on-failure --timeout 300 --repeat until-pass:2
step "done"
