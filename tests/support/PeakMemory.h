// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace test_support {

// Measures how far the process's resident memory climbs while a piece of code runs: the kernel's
// high-water mark of the resident set, reset when the measurement starts. Needs /proc/self/clear_refs
// (Linux 4.0 and later); Available() tells whether the reset worked.
class PeakMemory {
public:
    PeakMemory();
    bool Available() const { return available_; }
    // Bytes the resident set rose above its size at the start, at its highest since then.
    size_t Growth() const;

private:
    size_t start_ = 0;
    bool available_ = false;
};

}  // namespace test_support
