#!/usr/bin/env bash
# Installs the Debian 12 packages Korvane needs to build, run and test, or
# only the packages named as arguments (scripts/test-windows.sh names its
# own). Does nothing when all are present; otherwise uses apt-get (as root,
# or through sudo).
set -euo pipefail

PACKAGES=(
  g++ make cmake ninja-build pkg-config git libgtest-dev libbenchmark-dev python3
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libxkbcommon-dev fonts-dejavu-core
  xvfb xauth x11-utils imagemagick xdotool
  socat libmodbus-dev mbpoll python3-pymodbus python3-serial python3-serial-asyncio
  clang-14 libclang-rt-14-dev procps
  dpkg-dev file lintian desktop-file-utils librsvg2-bin
)
if [ $# -gt 0 ]; then PACKAGES=("$@"); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
