#!/usr/bin/env bash
# Configures and builds one build tree:
#   scripts/build.sh DIR [cmake options...]
# BUILD_TYPE chooses the CMake build type (RelWithDebInfo); TARGETS, when
# set, limits the build to those targets.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DIR="$1"; shift
cmake -S "$ROOT" -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
targets=()
for t in ${TARGETS:-}; do targets+=(--target "$t"); done
# Progress lines are left out of the output; warnings and errors are shown.
status=0
cmake --build "$DIR" -j "$(nproc)" "${targets[@]}" >"$DIR/build.log" 2>&1 || status=$?
grep -vE '^\[[0-9]+/[0-9]+\] ' "$DIR/build.log" || true
exit "$status"
