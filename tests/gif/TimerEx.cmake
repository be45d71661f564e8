# SPDX-License-Identifier: GPL-3.0-or-later
# Tests of the timer component; they need a running Qt event loop (offscreen QApplication).
add_executable(test_timer_ex ${CMAKE_CURRENT_LIST_DIR}/TimerExTest.cpp)
target_link_libraries(test_timer_ex PRIVATE timer_ex test_main_qt)
lunark_discover_tests(test_timer_ex unit
  slow "TimerTest.UnchangedWritesKeepThePeriodAndHandlerWritesRestartIt:*TimerRoutes.StoppedTimerNeverTicks*")
