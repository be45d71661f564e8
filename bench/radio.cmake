# SPDX-License-Identifier: GPL-3.0-or-later
# The radio: the CPU one second of Doppler tracking costs, Hamlib's simulated rig's worker included.
add_executable(bench_radio ${CMAKE_CURRENT_SOURCE_DIR}/radio.cpp)
target_link_libraries(bench_radio PRIVATE tracking benchmark::benchmark)
