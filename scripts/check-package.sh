#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and checks it as Debian would: lintian, the AppStream and desktop
# entry validators, then an install into a clean Debian 12 root made with debootstrap, where
# lunark-position --version runs, lunark starts offscreen, and removing the package leaves the
# user's settings alone. Needs root (debootstrap and chroot).
#   scripts/check-package.sh [WORK_FOLDER]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mkdir -p "${1:-$top/build-package-check}" && cd "${1:-$top/build-package-check}" && pwd)

package=$("$top/scripts/package.sh" "$work" | tail -n 1)
echo "== $package"
dpkg-deb --info "$package" | sed -n '/Depends/p'

echo "== lintian"
lintian --fail-on error --info "$package"

echo "== AppStream data and desktop entry"
appstreamcli validate --no-net "$top/packaging/org.lunark.Lunark.metainfo.xml"
hints=$(desktop-file-validate "$top/app/resources/lunark.desktop")
if [ -n "$hints" ]; then echo "$hints"; exit 1; fi

echo "== install into a clean Debian 12 root"
# debootstrap's minimal root is made once and kept between runs, as the compiler cache is
# (LUNARK_DEBIAN_ROOT_CACHE, default ~/.cache/lunark/bookworm-minbase); each run installs into a
# fresh copy of it.
pristine=${LUNARK_DEBIAN_ROOT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lunark/bookworm-minbase}
if [ ! -x "$pristine/usr/bin/apt-get" ]; then
  rm -rf "$pristine" "$pristine.new"
  mkdir -p "$(dirname "$pristine")"
  debootstrap --variant=minbase bookworm "$pristine.new" http://deb.debian.org/debian >/dev/null
  mv "$pristine.new" "$pristine"
fi
root=$work/bookworm
umount "$root/proc" 2>/dev/null || true  # left mounted by a run that was killed
rm -rf "$root"
cp -a "$pristine" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$package" "$root/tmp/"
mount -t proc proc "$root/proc"
trap 'umount "$root/proc" 2>/dev/null || true' EXIT
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$package")" >/dev/null
touch "$root/tmp/installed"
in_root lunark-position --version
in_root man -w lunark-position >/dev/null 2>&1 || test -f "$root/usr/share/man/man1/lunark-position.1.gz"

# lunark runs until it is closed: alive after three seconds means it started.
status=0
in_root env QT_QPA_PLATFORM=offscreen timeout 3 lunark || status=$?
if [ "$status" -ne 124 ]; then echo "lunark did not keep running (exit status $status)"; exit 1; fi
test -f "$root/root/.config/lunark/lunark.ini"
written=$(find "$root/usr" -newer "$root/tmp/installed" -type f | head -n 5)
if [ -n "$written" ]; then echo "the packaged copy wrote under /usr: $written"; exit 1; fi

in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq lunark >/dev/null
test ! -e "$root/usr/bin/lunark"
test -f "$root/root/.config/lunark/lunark.ini"
echo "== package checked"
