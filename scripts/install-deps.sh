#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs from Debian's packages whatever one task needs and is not there yet. Safe to run again:
# it does nothing when everything is present. Works as root or through sudo.
#
#   scripts/install-deps.sh run    build and run Lunark (scripts/run.sh)
#   scripts/install-deps.sh test   also the tests and the benchmarks (scripts/test.sh; the default)
#   scripts/install-deps.sh fuzz   build Lunark and fuzz it with clang and libFuzzer (scripts/fuzz-gif.sh)
#   scripts/install-deps.sh format   the formatter (scripts/format.sh)
#   scripts/install-deps.sh package  build the Debian package and check it (scripts/package.sh,
#                                  scripts/check-package.sh)
set -euo pipefail

group=${1:-test}

run_packages=(
  cmake make g++ pkg-config
  # the compiler cache every build goes through (~/.cache/ccache)
  ccache
  qt6-base-dev qt6-qpa-plugins libgl-dev
  fonts-dejavu-core
  # the man pages are written in scdoc and made by the build
  scdoc
  # rotators driven through Hamlib
  libhamlib-dev
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  # real windows: an X server and a window manager
  xvfb xauth openbox
  # Hamlib's rotctld and rotctl serve the tests
  libhamlib-utils
  # benchmark-only peers, never linked into the program
  libnova-dev libgif-dev
  # the reference positions of the pointing tests (scripts/make-pointing-reference.py), offline
  python3-astropy
)
package_packages=(
  # Debian's packaging tools and the checkers of the package, its AppStream data and menu entry
  dpkg-dev lintian appstream desktop-file-utils debootstrap
)
format_packages=(
  # the formatter of scripts/format.sh
  clang-format-14
)
fuzz_packages=(
  # clang with libFuzzer and the sanitizer runtimes
  clang-14 libclang-rt-14-dev
)

case $group in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  fuzz) packages=("${run_packages[@]}" "${fuzz_packages[@]}") ;;
  package) packages=("${run_packages[@]}" "${package_packages[@]}") ;;
  format) packages=("${format_packages[@]}") ;;
  *)
    echo "usage: scripts/install-deps.sh [run|test|fuzz|format|package]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
