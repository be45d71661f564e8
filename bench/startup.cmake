# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up: the application object to both windows created and the main window shown.
add_executable(bench_startup ${CMAKE_CURRENT_SOURCE_DIR}/startup.cpp)
target_link_libraries(bench_startup PRIVATE main_window benchmark::benchmark)
