#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package lunark_VERSION_ARCH.deb from the project's own files with Debian's own
# tools: a Release build installed under /usr into a staging folder, stripped, with the copyright
# file, the changelog, man pages, icons, desktop entry and AppStream data, and dependencies
# computed from the shared libraries the programs really link.
#   scripts/package.sh [OUTPUT_FOLDER]     (default: the top of the source tree)
# The build tree is build-package/, or LUNARK_PACKAGE_BUILD_DIR: a tree configured before (CI's
# Release build, tests and all) is used as it is when it is a Release build with Debian's hardening
# flags, and refused otherwise; the package takes only the programs and their files from it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$top}" && cd "${1:-$top}" && pwd)
build=${LUNARK_PACKAGE_BUILD_DIR:-$top/build-package}

"$top/scripts/install-deps.sh" package

# Debian's hardening flags (fortified functions, read-only relocations, immediate binding).
. "$top/scripts/hardening-flags.sh"
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
if [ -f "$build/CMakeCache.txt" ] && { [ "$(cached CMAKE_BUILD_TYPE)" != Release ] ||
  [ "$(cached CMAKE_CXX_FLAGS)" != "$CXXFLAGS" ] || [ "$(cached CMAKE_EXE_LINKER_FLAGS)" != "$LDFLAGS" ]; }; then
  if [ -n "${LUNARK_PACKAGE_BUILD_DIR:-}" ]; then
    echo "$build is not a Release build with Debian's hardening flags (scripts/hardening-flags.sh)" >&2
    exit 1
  fi
  rm -rf "$build"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUNARK_TESTS=OFF -DLUNARK_BENCH=OFF \
    -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" --target lunark lunark-position man_pages

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root
DESTDIR=$root cmake --install "$build" --prefix /usr --strip >/dev/null

doc=$root/usr/share/doc/lunark
install -d "$doc"
install -m 644 "$top/packaging/copyright" "$doc/copyright"
"$top/packaging/debian-changelog.sh" "$top/CHANGELOG.md" | gzip -9n > "$doc/changelog.gz"
chmod 644 "$doc/changelog.gz"

# dpkg-shlibdeps wants a source package around the binaries it reads.
mkdir -p "$stage/debian"
printf 'Source: lunark\n\nPackage: lunark\nArchitecture: any\n' > "$stage/debian/control"
depends=$(cd "$stage" && dpkg-shlibdeps -O -e root/usr/bin/lunark -e root/usr/bin/lunark-position \
  2>/dev/null | sed -n 's/^shlibs:Depends=//p')

install -d "$root/DEBIAN"
cat > "$root/DEBIAN/control" <<CONTROL
Package: lunark
Version: $version
Architecture: $arch
Maintainer: Lunark developers <maintainers@users.noreply.c-seed-e8eb2fc9.example>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends, qt6-qpa-plugins
Recommends: fonts-dejavu-core
Section: hamradio
Priority: optional
Description: Moon tracker for EME stations
 Lunark computes the Moon's azimuth and elevation for a radio amateur
 station from its Maidenhead locator and the clock, shows them, and points
 the antenna by sending commands to the azimuth and elevation rotator
 controllers, when asked or every few minutes.
 .
 It drives Hy-Gain DCU-1, Prosistel-D, M2 RC2800 and YAESU GS-232A
 controllers on serial lines. The command-line companion lunark-position
 prints a position and the commands each controller would receive.
CONTROL
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
find "$root" -type d -exec chmod 755 {} +

package=$out/lunark_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
