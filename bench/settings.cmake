# SPDX-License-Identifier: GPL-3.0-or-later
# Settings: every key a position update reads, from a settings file of 4 MB.
add_executable(bench_settings ${CMAKE_CURRENT_SOURCE_DIR}/settings.cpp)
target_link_libraries(bench_settings PRIVATE settings_core benchmark::benchmark)
