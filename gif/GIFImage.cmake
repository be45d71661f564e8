# SPDX-License-Identifier: GPL-3.0-or-later
# The picture control: a decoder core without Qt (gif_core) and the widget (gif).
add_library(gif_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/GifDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GifParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormStorage.cpp)
target_include_directories(gif_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
set_target_properties(gif_core PROPERTIES AUTOMOC OFF POSITION_INDEPENDENT_CODE ON)

add_library(gif STATIC ${CMAKE_CURRENT_LIST_DIR}/GIFImage.cpp ${CMAKE_CURRENT_LIST_DIR}/GIFImage.h)
# The animation is driven by the timer component (TimerEx.cmake, included before this file).
target_link_libraries(gif PUBLIC gif_core timer_ex Qt6::Widgets)

add_executable(gifdump ${CMAKE_CURRENT_LIST_DIR}/gifdump.cpp)
target_link_libraries(gifdump PRIVATE gif)
