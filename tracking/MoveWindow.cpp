// SPDX-License-Identifier: GPL-3.0-or-later
#include "MoveWindow.h"

#include <charconv>

namespace MoveWindow {

namespace {

using std::chrono::microseconds;
using std::chrono::seconds;

std::optional<int32_t> Second(std::string_view text) {
    if (text.empty() || text.size() > 4 || text.front() == '-' || text.front() == '+') return std::nullopt;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value >= kLongestPeriod) return std::nullopt;
    return value;
}

// How far `at` lies into its period, and the period's length, in microseconds. Instants before
// 1970 count the same way (the remainder taken towards minus infinity).
struct Phase {
    long long into;
    long long period;
};
Phase PhaseOf(Location::Instant at, int32_t periodSeconds) {
    const long long period = duration_cast<microseconds>(seconds(periodSeconds)).count();
    const long long since = at.time_since_epoch().count();
    const long long into = ((since % period) + period) % period;
    return {into, period};
}

long long Micro(int32_t second) {
    return duration_cast<microseconds>(seconds(second)).count();
}

}  // namespace

std::optional<Window> Parse(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const std::optional<int32_t> first = Second(text.substr(0, dash));
    const std::optional<int32_t> last = Second(text.substr(dash + 1));
    if (!first || !last || *first > *last) return std::nullopt;
    return Window{*first, *last};
}

std::string Text(const Window& window) {
    return std::to_string(window.first) + "-" + std::to_string(window.last);
}

bool Fits(const Window& window, int32_t periodSeconds) {
    return periodSeconds > 0 && window.first >= 0 && window.first <= window.last && window.last < periodSeconds;
}

bool Inside(Location::Instant at, int32_t periodSeconds, const Window& window) {
    if (!Fits(window, periodSeconds)) return true;
    const Phase phase = PhaseOf(at, periodSeconds);
    return phase.into >= Micro(window.first) && phase.into < Micro(window.last + 1);
}

Location::Instant NextOpening(Location::Instant at, int32_t periodSeconds, const Window& window) {
    if (Inside(at, periodSeconds, window)) return at;
    const Phase phase = PhaseOf(at, periodSeconds);
    long long wait = Micro(window.first) - phase.into;
    if (wait < 0) wait += phase.period;
    return at + microseconds(wait);
}

}  // namespace MoveWindow
