# SPDX-License-Identifier: GPL-3.0-or-later
# The timer component: a QTimer path and a worker-thread path.
find_package(Threads REQUIRED)
add_library(timer_ex STATIC
  ${CMAKE_CURRENT_LIST_DIR}/NotifyEvent.h
  ${CMAKE_CURRENT_LIST_DIR}/TimerEx.h
  ${CMAKE_CURRENT_LIST_DIR}/TimerEx.cpp)
target_include_directories(timer_ex PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(timer_ex PUBLIC Qt6::Core Threads::Threads)
