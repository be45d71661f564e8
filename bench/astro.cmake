# SPDX-License-Identifier: GPL-3.0-or-later
# Speed of the Moon's horizontal position and of the precise path, the lunar theory's accuracy against
# the full ELP 2000-82B theory of libnova, and the precise path's against astropy's committed table.
# libnova is only a yardstick here (Debian's libnova-dev, installed by scripts/install-deps.sh):
# nothing of the program depends on it.
find_path(LIBNOVA_INCLUDE_DIR libnova/lunar.h REQUIRED)
find_library(LIBNOVA_LIBRARY nova REQUIRED)

add_executable(bench_astro astro.cpp ${PROJECT_SOURCE_DIR}/tests/astro/moon_reference.cpp)
target_include_directories(bench_astro PRIVATE ${PROJECT_SOURCE_DIR}/tests/astro)
target_link_libraries(bench_astro PRIVATE astro benchmark::benchmark)

target_include_directories(bench_astro PRIVATE ${LIBNOVA_INCLUDE_DIR})
target_link_libraries(bench_astro PRIVATE ${LIBNOVA_LIBRARY})

add_executable(astro_accuracy astro_accuracy.cpp ${PROJECT_SOURCE_DIR}/tests/astro/moon_reference.cpp
  ${PROJECT_SOURCE_DIR}/tests/astro/pointing_reference.cpp)
lunark_build_paths(astro_accuracy
  LUNARK_POINTING_REFERENCE ${PROJECT_SOURCE_DIR}/tests/astro/data/pointing_reference.csv)
target_include_directories(astro_accuracy PRIVATE ${PROJECT_SOURCE_DIR}/tests/astro ${LIBNOVA_INCLUDE_DIR})
target_link_libraries(astro_accuracy PRIVATE astro ${LIBNOVA_LIBRARY})
