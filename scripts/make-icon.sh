#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the program's icon again for desktop menus, at every size the package installs
# (app/resources/icons/lunark-SIZE.png).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${LUNARK_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" >/dev/null
cmake --build "$build" --target make_icon
mkdir -p "$top/app/resources/icons"
for size in 48 64 128 256; do
  "$build/tools/make_icon" "$size" "$top/app/resources/icons/lunark-$size.png"
done
