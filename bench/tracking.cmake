# SPDX-License-Identifier: GPL-3.0-or-later
# Tracking: one position update, one serial command cycle on a pseudo-terminal.
add_executable(bench_tracking ${CMAKE_CURRENT_SOURCE_DIR}/tracking.cpp)
target_link_libraries(bench_tracking PRIVATE tracking benchmark::benchmark util)
