#!/usr/bin/env bash
# Builds the Debian package korvane_<version>_amd64.deb:
#   ./scripts/package.sh [OUTPUT_DIR]        (default: build/package)
# A release build with Debian's hardening flags (dpkg-buildflags), installed
# under /usr; CPack computes Depends from the shared libraries
# (dpkg-shlibdeps). Prints the path of the package as its last line.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${1:-$ROOT/build/package}"
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"
BUILD="$OUT/build"

"$ROOT/scripts/install-deps.sh"

# Debian's flags for a package: fortified, stack-protected, full RELRO, PIE.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
# (-Wno-restrict: GCC 12 warns falsely about std::string inside inlined
# operator+ at -O2 with _FORTIFY_SOURCE.)
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) -Wno-restrict"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

echo "Building the package in $BUILD ..."
BUILD_TYPE=Release TARGETS="korvane korvane-sim korvane_presets korvane_install_data" \
  "$ROOT/scripts/build.sh" "$BUILD" -DKORVANE_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr
(cd "$BUILD" && cpack -G DEB -B "$OUT" >"$OUT/cpack.log" 2>&1) || { cat "$OUT/cpack.log"; exit 1; }
rm -rf "$OUT/_CPack_Packages"
DEB="$(ls "$OUT"/korvane_*_*.deb)"
echo "$DEB"
