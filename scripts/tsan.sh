#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the tests of the program's threaded parts with ThreadSanitizer in build-tsan/ and runs
# them; any report ends the run with a failure. Extra arguments go to each test program
# (e.g. --gtest_repeat=5).
# The timer component's worker hands its ticks over through queued calls that carry no data of
# ours, and everything it shares with the timer sits behind one std::mutex, so Qt (not built with
# ThreadSanitizer) needs no suppressions. Each Hamlib rotator's worker shares with the sending
# thread only its waiting requests and the results' inbox, each behind a std::mutex. The station window's
# Plan page hands its worker a copy of the inputs and takes the finished plan from behind a std::mutex.
# The radio's rig worker shares its waiting request and the answers' mailbox, each behind a std::mutex.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${LUNARK_TSAN_BUILD_DIR:-$top/build-tsan}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUNARK_TSAN=ON -DLUNARK_BENCH=OFF \
  -DLUNARK_WERROR=ON >/dev/null
cmake --build "$build" --target test_timer_ex test_rotator_hamlib test_hamlib test_radio test_plan_page --parallel 2
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# The programs run side by side: most of their time goes to waiting for rotctld, rigctld and
# Hamlib's timeouts, not to the processor. Each one's output is shown when it fails.
programs=(gif/test_timer_ex rotator/test_rotator_hamlib tracking/test_hamlib tracking/test_radio app/test_plan_page)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
pids=()
for program in "${programs[@]}"; do
  "$build/tests/$program" "$@" >"$logs/${program//\//_}.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!programs[@]}"; do
  if wait "${pids[$i]}"; then
    echo "== ${programs[$i]}: $(grep -h '^\[  PASSED  \]' "$logs/${programs[$i]//\//_}.log" | tail -n 1)"
  else
    echo "== ${programs[$i]} failed:"
    cat "$logs/${programs[$i]//\//_}.log"
    status=1
  fi
done
exit "$status"
