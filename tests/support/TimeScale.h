// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdlib>

// How much longer the time bounds of the tests are in this build: a sanitizer build runs several
// times slower (its CMake option compiles in LUNARK_TEST_TIME_SCALE), and the environment variable
// of that name, a whole number, overrides it. Only the bounds within which something must happen
// are stretched; no test waits for a fixed time.
namespace test_support {

#ifndef LUNARK_TEST_TIME_SCALE
#define LUNARK_TEST_TIME_SCALE 1
#endif

inline int TimeScale() {
    if (const char* text = std::getenv("LUNARK_TEST_TIME_SCALE")) {
        if (const int scale = std::atoi(text); scale >= 1) return scale;
    }
    return LUNARK_TEST_TIME_SCALE;
}

// A bound within which something must happen, stretched for this build.
template <typename Rep, typename Period>
std::chrono::duration<Rep, Period> Scaled(std::chrono::duration<Rep, Period> bound) {
    return bound * TimeScale();
}

// The same for Qt's waits (QTest::qWaitFor), which take whole milliseconds.
inline int ScaledMilliseconds(int bound) {
    return bound * TimeScale();
}

}  // namespace test_support
