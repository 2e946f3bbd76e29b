#!/usr/bin/env bash
# CI stage for the Debian package, as a user's machine would take it:
#   scripts/test-package.sh [WORK_DIR]          (default: build/package)
# builds korvane_<version>_amd64.deb (scripts/package.sh), installs it with
# apt-get (so its Depends are resolved), checks the installed programs, their
# presets and the desktop entry, runs lintian (errors fail; warnings listed),
# and removes the package again. Needs root (or sudo) for apt-get.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
WORK="${1:-$ROOT/build/package}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export QT_QPA_PLATFORM=offscreen
step() { echo "-- $1"; }
fail() { echo "test-package: $1" >&2; exit 1; }

mkdir -p "$WORK"
"$ROOT/scripts/package.sh" "$WORK" >"$WORK/package.log" 2>&1 || { cat "$WORK/package.log"; fail "the package did not build"; }
DEB="$(tail -n 1 "$WORK/package.log")"
VERSION="$(dpkg-deb --field "$DEB" Version)"
step "built $(basename "$DEB"): $(dpkg-deb --field "$DEB" Depends)"

step "only the package's own paths"
outside="$(dpkg-deb --fsys-tarfile "$DEB" | tar -tf - | grep -v '/$' | grep -vE \
  '^\./usr/(bin/korvane(-sim)?|share/(korvane/presets/[^/]+\.Korvane|doc/korvane/[^/]+|applications/korvane\.desktop|icons/hicolor/[^/]+/apps/korvane\.(png|svg)|man/man1/korvane(-sim)?\.1\.gz))$' || true)"
[ -z "$outside" ] || fail "files outside the package's paths: $outside"

if dpkg-query -W -f='${Status}' korvane 2>/dev/null | grep -q "install ok installed"; then
  $SUDO apt-get remove -y korvane >/dev/null
fi
step "apt-get install ./$(basename "$DEB")"
(cd "$(dirname "$DEB")" && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "./$(basename "$DEB")") \
  >"$WORK/apt-install.log" 2>&1 || { cat "$WORK/apt-install.log"; fail "apt-get install failed"; }
grep -E '^(Setting up|Unpacking) korvane' "$WORK/apt-install.log"
cleanup() { $SUDO apt-get remove -y korvane >/dev/null 2>&1 || true; }
trap cleanup EXIT

step "installed versions"
[ "$(command -v korvane)" = /usr/bin/korvane ] || fail "korvane is not /usr/bin/korvane"
for program in korvane korvane-sim; do
  answer="$("/usr/bin/$program" --version)"
  echo "$answer"
  [ "$answer" = "$program $VERSION" ] || fail "$program --version"
done

step "installed presets, and a user's own"
USERDATA="$(mktemp -d)"
mkdir -p "$USERDATA/korvane/presets"
printf 'PV, 5, a, b, 0.5\r\n' >"$USERDATA/korvane/presets/My Controller.Korvane"
listing="$(XDG_DATA_HOME="$USERDATA" /usr/bin/korvane --list-presets)"
rm -rf "$USERDATA"
echo "$listing"
grep -qF "$(printf 'Novus N1100\t/usr/share/korvane/presets/Novus N1100.Korvane')" <<<"$listing" ||
  fail "the installed program does not find its presets"
grep -qF "My Controller" <<<"$listing" || fail "the user's preset folder is not searched"

step "the installed window starts (offscreen, 3 s)"
status=0
timeout 3 /usr/bin/korvane >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "korvane ended by itself with status $status"

step "desktop-file-validate"
desktop-file-validate /usr/share/applications/korvane.desktop && echo "korvane.desktop: valid"

step "lintian"
lintian -I --fail-on error "$DEB" 2>&1 | grep -v 'running with root privileges' | tee "$WORK/lintian.log" || true
if grep -q '^E: ' "$WORK/lintian.log"; then fail "lintian reports errors"; fi
echo "lintian: $(grep -c '^E: ' "$WORK/lintian.log") errors, $(grep -c '^W: ' "$WORK/lintian.log") warnings"

step "apt-get remove korvane"
trap - EXIT
$SUDO apt-get remove -y korvane >/dev/null
[ ! -e /usr/bin/korvane ] && [ ! -e /usr/share/korvane ] || fail "files left after removal"
echo "removed; /usr/bin/korvane and /usr/share/korvane are gone"
