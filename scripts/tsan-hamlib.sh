#!/usr/bin/env bash
# Builds the Hamlib rotator tests with ThreadSanitizer in build-tsan/ (shared with tsan-timer.sh)
# and runs them; any report ends the run with a failure. Extra arguments go to the test program.
# Each rotator's worker thread shares with the caller only its request queue, behind one
# std::mutex; results leave through the completions the tests hand in.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${LUNARK_TSAN_BUILD_DIR:-$top/build-tsan}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUNARK_TSAN=ON -DLUNARK_BENCH=OFF \
  -DLUNARK_WERROR=ON >/dev/null
cmake --build "$build" --target test_hamlib --parallel 2
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
"$build/tests/tracking/test_hamlib" "$@"
