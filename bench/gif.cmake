# SPDX-License-Identifier: GPL-3.0-or-later
# Decoding throughput of the picture decoder core against giflib's DGifSlurp and Wuffs on the same
# generated files, and the memory a load takes. giflib and Wuffs are only yardsticks: nothing of
# the program depends on them; giflib is Debian's libgif-dev, installed by scripts/install-deps.sh.
# Without Wuffs' single-file release in LUNARK_PEERS_DIR the benchmark runs without its column.
find_path(GIFLIB_INCLUDE_DIR gif_lib.h REQUIRED)
find_library(GIFLIB_LIBRARY gif REQUIRED)
set(LUNARK_PEERS_DIR "${PROJECT_SOURCE_DIR}/../shared/peers" CACHE PATH
    "Folder holding wuffs-v0.4.c, the Wuffs release the GIF benchmark compares against")

add_executable(bench_gif gif.cpp ${PROJECT_SOURCE_DIR}/tests/gif/GifTestEncoder.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/PeakMemory.cpp)
target_include_directories(bench_gif PRIVATE ${PROJECT_SOURCE_DIR}/tests/gif ${PROJECT_SOURCE_DIR}/tests/support
  ${GIFLIB_INCLUDE_DIR})
target_link_libraries(bench_gif PRIVATE gif ${GIFLIB_LIBRARY})
lunark_build_paths(bench_gif LUNARK_CAT_GIF ${PROJECT_SOURCE_DIR}/app/resources/cat.gif)
# The one optional peer: without it the benchmark runs, and says so, without its column.
if(EXISTS "${LUNARK_PEERS_DIR}/wuffs-v0.4.c")
  enable_language(C)
  # Third-party code as released: its warnings are not ours to mend.
  add_library(bench_wuffs STATIC gif_wuffs.c)
  target_include_directories(bench_wuffs PRIVATE ${LUNARK_PEERS_DIR})
  target_compile_options(bench_wuffs PRIVATE -w)
  set_target_properties(bench_wuffs PROPERTIES C_STANDARD 99 AUTOMOC OFF)
  target_link_libraries(bench_gif PRIVATE bench_wuffs)
  target_compile_definitions(bench_gif PRIVATE LUNARK_BENCH_WUFFS)
else()
  message(STATUS "Wuffs not found (${LUNARK_PEERS_DIR}/wuffs-v0.4.c): bench_gif runs without its Wuffs column")
endif()
