#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Lunark and starts it. Without a display it runs offscreen.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" run
# The program alone: tests and benchmarks need packages of their own (scripts/test.sh builds them).
"$top/scripts/build.sh" -DLUNARK_TESTS=OFF -DLUNARK_BENCH=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting Lunark offscreen (QT_QPA_PLATFORM=offscreen)."
  export QT_QPA_PLATFORM=offscreen
fi
exec "${LUNARK_BUILD_DIR:-$top/build}/bin/lunark"
