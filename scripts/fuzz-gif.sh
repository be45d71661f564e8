#!/usr/bin/env bash
# Builds the GIF loading fuzzer with clang in build-fuzz/ and runs it for SECONDS seconds on one
# core. New inputs that reach new code are added to fuzz/corpus/gif_load/; crashes, leaks and
# time-outs are written to fuzz/findings/ (each becomes a regression file in the corpus once fixed).
set -euo pipefail
seconds=${1:?usage: scripts/fuzz-gif.sh SECONDS}
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-fuzz
"$top/scripts/install-deps.sh" fuzz
cmake -S "$top" -B "$build" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUNARK_FUZZ=ON -DLUNARK_TESTS=OFF -DLUNARK_BENCH=OFF >/dev/null
cmake --build "$build" --target gif_load -j2
mkdir -p "$top/fuzz/findings"
# libFuzzer writes its job log (fuzz-0.log) into the working folder.
cd "$build"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export LSAN_OPTIONS=suppressions=$top/.ci/lsan.supp
"$build/fuzz/gif_load" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -jobs=1 -workers=1 -artifact_prefix="$top/fuzz/findings/" -print_final_stats=1 \
  "$top/fuzz/corpus/gif_load"
