# SPDX-License-Identifier: GPL-3.0-or-later
# The rotctld-compatible server: the answer time for "p" against Hamlib's rotctld with its simulated
# rotator, and the CPU time ten clients polling at 10 Hz cost the server.
add_executable(bench_link ${CMAKE_CURRENT_SOURCE_DIR}/link.cpp)
target_link_libraries(bench_link PRIVATE link benchmark::benchmark)
