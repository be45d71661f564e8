#!/usr/bin/env bash
# Draws the program's icon again for desktop menus (app/resources/lunark.png).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${LUNARK_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" >/dev/null
cmake --build "$build" --target make_icon
"$build/app/make_icon" "$top/app/resources/lunark.png"
