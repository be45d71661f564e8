#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the GIF loading fuzzer with clang in build-fuzz/, replays the corpus fuzz/corpus/gif_load/
# through it, then fuzzes for SECONDS seconds on one core (0: replay only). New inputs that reach
# new code go to NEW_INPUTS (default: the corpus itself); crashes, leaks and time-outs are written
# to fuzz/findings/ (each becomes a regression file in the corpus once fixed). Any finding, in the
# replay or the run, ends the script with a failure.
set -euo pipefail
seconds=${1:?usage: scripts/fuzz-gif.sh SECONDS [NEW_INPUTS]}
top=$(cd "$(dirname "$0")/.." && pwd)
corpus=$top/fuzz/corpus/gif_load
new_inputs=${2:-$corpus}
build=${LUNARK_FUZZ_BUILD_DIR:-$top/build-fuzz}
"$top/scripts/install-deps.sh" fuzz
cmake -S "$top" -B "$build" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUNARK_FUZZ=ON -DLUNARK_TESTS=OFF -DLUNARK_BENCH=OFF >/dev/null
cmake --build "$build" --target gif_load --parallel "$(nproc)"
mkdir -p "$top/fuzz/findings" "$new_inputs"
cd "$build"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export LSAN_OPTIONS=suppressions=$top/.ci/lsan.supp
options=(-timeout=10 -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$top/fuzz/findings/")

echo "== replaying $(find "$corpus" -type f | wc -l) corpus inputs"
"$build/fuzz/gif_load" "${options[@]}" -runs=0 "$corpus"
if [ "$seconds" -gt 0 ]; then
  echo "== fuzzing for $seconds s"
  "$build/fuzz/gif_load" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    "$new_inputs" "$corpus"
fi
