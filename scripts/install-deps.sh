#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the benchmarks need and is not
# there yet. Safe to run again: it does nothing when everything is present. Works as root or
# through sudo.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  xvfb xauth
  # rotators driven through Hamlib; its rotctld and rotctl serve the tests
  libhamlib-dev libhamlib-utils
  # benchmark-only peers, never linked into the program
  libnova-dev libgif-dev
  # the reference positions of the pointing tests (scripts/make-pointing-reference.py), offline
  python3-astropy
  # the fuzzers (scripts/fuzz-gif.sh): clang with libFuzzer and the sanitizer runtimes
  clang-14 libclang-rt-14-dev
)

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
