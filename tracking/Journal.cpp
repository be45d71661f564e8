// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <cstdio>

#include "Location.h"
#include "StationLog.h"

namespace Journal {

namespace {

struct State {
    std::deque<Entry> entries;
    std::uint64_t revision = 0;
    bool logProblemReported = false;
};

State& Current() {
    static State state;
    return state;
}

void Keep(Entry entry) {
    State& state = Current();
    state.entries.push_front(std::move(entry));
    if (state.entries.size() > kKept) state.entries.pop_back();
    ++state.revision;
}

}  // namespace

void Add(std::string text) {
    Entry entry{Location::Now(), std::move(text)};
    const bool logged = StationLog::Append(Line(entry));
    Keep(std::move(entry));
    State& state = Current();
    if (logged || state.logProblemReported) return;
    state.logProblemReported = true;
    Keep({Location::Now(), "The log cannot be written (" + StationLog::Problem() + "); tracking goes on without it"});
}

const std::deque<Entry>& Entries() {
    return Current().entries;
}

std::uint64_t Revision() {
    return Current().revision;
}

void Clear() {
    State& state = Current();
    state.entries.clear();
    state.logProblemReported = false;
    ++state.revision;
}

std::string UtcDateTime(Location::Instant at) {
    using namespace std::chrono;
    const auto second = floor<seconds>(at);
    const year_month_day date{floor<days>(second)};
    const hh_mm_ss time{second - floor<days>(second)};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld:%02lld UTC", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long long>(time.hours().count()), static_cast<long long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()));
    return text;
}

std::string UtcTime(Location::Instant at) {
    return UtcDateTime(at).substr(11);
}

std::string UtcMinute(Location::Instant at) {
    constexpr std::size_t kSeconds = 16;  // ":SS" after "YYYY-MM-DD HH:MM"
    return UtcDateTime(at).erase(kSeconds, 3);
}

std::string Line(const Entry& entry) {
    return UtcDateTime(entry.at) + "  " + entry.text;
}

std::string Text() {
    std::string text;
    for (const Entry& entry : Entries()) text += Line(entry) + '\n';
    return text;
}

}  // namespace Journal
