# SPDX-License-Identifier: GPL-3.0-or-later
# Tests of the picture control: the decoder core without a display, the widget offscreen, and a
# replay of the fuzzing corpus through the control's loading entry.
add_library(gif_test_encoder STATIC ${CMAKE_CURRENT_LIST_DIR}/GifTestEncoder.cpp)
target_include_directories(gif_test_encoder PUBLIC ${CMAKE_CURRENT_LIST_DIR})

add_executable(test_gif_core ${CMAKE_CURRENT_LIST_DIR}/GifDecoderTest.cpp ${CMAKE_CURRENT_LIST_DIR}/GifParserTest.cpp)
target_link_libraries(test_gif_core PRIVATE gif_core gif_test_encoder GTest::gtest_main)
gtest_discover_tests(test_gif_core DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "unit")

add_executable(test_gif_image ${CMAKE_CURRENT_LIST_DIR}/GIFImageTest.cpp ${CMAKE_CURRENT_LIST_DIR}/GIFAnimationTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GifCorpusTest.cpp)
target_link_libraries(test_gif_image PRIVATE gif gif_test_encoder test_main_qt)
lunark_build_paths(test_gif_image GIF_CORPUS_DIR ${PROJECT_SOURCE_DIR}/fuzz/corpus/gif_load)
lunark_discover_tests(test_gif_image unit slow "GifCorpus.*")
