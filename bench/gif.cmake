# Decoding throughput of the picture decoder core against giflib's DGifSlurp on the same generated
# files, and the memory a load takes. giflib is only a yardstick (Debian's libgif-dev, installed by
# scripts/install-deps.sh): nothing of the program depends on it.
find_path(GIFLIB_INCLUDE_DIR gif_lib.h REQUIRED)
find_library(GIFLIB_LIBRARY gif REQUIRED)

add_executable(bench_gif gif.cpp ${PROJECT_SOURCE_DIR}/tests/gif/GifTestEncoder.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/PeakMemory.cpp)
target_include_directories(bench_gif PRIVATE ${PROJECT_SOURCE_DIR}/tests/gif ${PROJECT_SOURCE_DIR}/tests/support
  ${GIFLIB_INCLUDE_DIR})
target_link_libraries(bench_gif PRIVATE gif benchmark::benchmark ${GIFLIB_LIBRARY})
