#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the main window's cat again and stores it as the picture control's data in the program's
# resources (app/resources/cat.gif and app/resources/cat.data).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${LUNARK_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" >/dev/null
cmake --build "$build" --target make_cat
"$build/tools/make_cat" "$top/app/resources/cat.gif" "$top/app/resources/cat.data"
