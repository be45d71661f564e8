// SPDX-License-Identifier: GPL-3.0-or-later
#include "PeakMemory.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace test_support {

namespace {

// A field of /proc/self/status ("VmRSS", "VmHWM"), in bytes; 0 when it cannot be read.
size_t StatusBytes(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    size_t kb = 0;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') kb = std::strtoull(line + n + 1, nullptr, 10);
    }
    std::fclose(f);
    return kb * 1024;
}

}  // namespace

PeakMemory::PeakMemory() {
    malloc_trim(0);  // freed memory the allocator still holds would hide a rise
    start_ = StatusBytes("VmRSS");
    if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        available_ = std::fputs("5", clear) >= 0;  // 5 resets the high-water mark
        available_ = std::fclose(clear) == 0 && available_ && start_ > 0;
    }
}

size_t PeakMemory::Growth() const {
    const size_t peak = StatusBytes("VmHWM");
    return peak > start_ ? peak - start_ : 0;
}

}  // namespace test_support
