# SPDX-License-Identifier: GPL-3.0-or-later
# The station window: the sky plot's refresh every second and a month's calendar.
add_executable(bench_station ${CMAKE_CURRENT_SOURCE_DIR}/station.cpp)
target_link_libraries(bench_station PRIVATE main_window benchmark::benchmark)
