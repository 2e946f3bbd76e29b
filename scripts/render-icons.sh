#!/usr/bin/env bash
# Renders data/icons/korvane.svg into the PNG sizes the desktop's icon theme
# wants (data/icons/NxN/korvane.png). Run after editing the SVG and commit
# the PNGs: a build installs them without needing an SVG renderer.
# Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
ICONS="$(cd "$(dirname "$0")/../data/icons" && pwd)"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$ICONS/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" "$ICONS/korvane.svg" -o "$ICONS/${size}x${size}/korvane.png"
done
echo "Rendered $ICONS/{16..256}/korvane.png"
