#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Lunark with its tests and runs every test.
# Extra arguments go to CMake's configure step (for example -DLUNARK_SANITIZE=ON).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" test
"$top/scripts/build.sh" -DLUNARK_TESTS=ON -DLUNARK_BENCH=ON "$@"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "${LUNARK_BUILD_DIR:-$top/build}" --output-on-failure --parallel "$(nproc)" --timeout 300
