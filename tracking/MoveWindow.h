// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Location.h"

// The seconds of each transmit/receive period in which the rotators may move, so that the motor and
// its relays stay quiet while the station receives. Periods are counted from midnight UTC, as the
// weak-signal programs count them: with 60-second periods "50-59" opens at the 50th second of every
// minute and closes at its end (second 59 included).
namespace MoveWindow {

inline constexpr int32_t kLongestPeriod = 3600;  // seconds, as [Station] Period allows

struct Window {
    int32_t first = 0;  // seconds into the period, 0 to kLongestPeriod - 1
    int32_t last = 0;   // included; first <= last
    bool operator==(const Window&) const = default;
};

// "FIRST-LAST" in whole seconds, 0 <= FIRST <= LAST < 3600, digits only; nullopt for anything else.
std::optional<Window> Parse(std::string_view text);

// The text Parse reads: "50-59".
std::string Text(const Window& window);

// Whether the window lies within a period of `periodSeconds` (its last second before the period ends).
bool Fits(const Window& window, int32_t periodSeconds);

// Whether `at` falls in the window of its period. A window that does not fit the period never
// holds anything back: true.
bool Inside(Location::Instant at, int32_t periodSeconds, const Window& window);

// The first instant from `at` on inside the window: `at` itself when inside, else the start of the
// next window (later in this period or in the next one).
Location::Instant NextOpening(Location::Instant at, int32_t periodSeconds, const Window& window);

}  // namespace MoveWindow
