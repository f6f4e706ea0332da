#!/usr/bin/env bash
# Builds the Debian package of a build folder with CPack and checks it
# without installing it:
#
#   tests/package/run_package_check.sh BUILD_DIR VERSION
#
# The package must hold every file `cmake --install` installs (below /usr),
# carry VERSION and a dependency on libpng, and its tamberlo must run and say
# its version.
#
# Exit status: 0 passed, 1 failed, 77 skipped because dpkg-deb is missing.
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: tests/package/run_package_check.sh BUILD_DIR VERSION" >&2
  exit 1
fi
BUILD_DIR="$(realpath "$1")"
VERSION="$2"
if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "SKIPPED: dpkg-deb is not installed"
  exit 77
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$WORK/pack" > "$WORK/cpack.log" 2>&1 || {
  cat "$WORK/cpack.log"
  exit 1
}
debs=("$WORK"/pack/*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f "${debs[0]}" ]]; then
  echo "FAILED: cpack made no single .deb: ${debs[*]}"
  exit 1
fi
DEB="${debs[0]}"

# Every file cmake --install puts below a prefix is in the package below /usr.
cmake --install "$BUILD_DIR" --prefix "$WORK/root" > /dev/null
(cd "$WORK/root" && find . -type f | sed 's:^\./::' | sort) > "$WORK/installed.txt"
dpkg-deb --fsys-tarfile "$DEB" | tar -t | sed -n 's:^\./usr/::p' | grep -v -e '/$' -e '^$' | sort > "$WORK/packed.txt"
[[ -s "$WORK/installed.txt" ]] || fail "cmake --install installs nothing"
if ! diff "$WORK/installed.txt" "$WORK/packed.txt"; then
  fail "the package's files (>) are not those cmake --install installs (<)"
fi
grep -qx 'bin/tamberlo' "$WORK/packed.txt" || fail "the package has no usr/bin/tamberlo"

[[ "$(dpkg-deb -f "$DEB" Package)" == tamberlo ]] || fail "package name: $(dpkg-deb -f "$DEB" Package)"
[[ "$(dpkg-deb -f "$DEB" Version)" == "$VERSION" ]] || fail "package version: $(dpkg-deb -f "$DEB" Version), not $VERSION"
dpkg-deb -f "$DEB" Depends | grep -q 'libpng' || fail "no libpng among the dependencies: $(dpkg-deb -f "$DEB" Depends)"

dpkg-deb -x "$DEB" "$WORK/unpacked"
said="$("$WORK/unpacked/usr/bin/tamberlo" --version)" || fail "the packed tamberlo --version failed"
[[ "$said" == "tamberlo $VERSION" ]] || fail "the packed tamberlo says \"$said\""

if (( failures > 0 )); then exit 1; fi
echo "package: $(basename "$DEB") holds every installed file and runs"
