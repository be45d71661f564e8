// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <cstdio>

#include "Location.h"

namespace Journal {

void Journal::Keep(Entry entry) {
    entries_.push_front(std::move(entry));
    if (entries_.size() > kKept) entries_.pop_back();
    ++revision_;
}

void Journal::Add(std::string text) {
    Entry entry{Location::Now(), std::move(text)};
    const bool logged = log_.Append(Line(entry));
    Keep(std::move(entry));
    if (logged || logProblemReported_) return;
    logProblemReported_ = true;
    Keep({Location::Now(), "The log cannot be written (" + log_.Problem() + "); tracking goes on without it"});
}

void Journal::Clear() {
    entries_.clear();
    logProblemReported_ = false;
    ++revision_;
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

std::string Journal::Text() const {
    std::string text;
    for (const Entry& entry : entries_) text += Line(entry) + '\n';
    return text;
}

}  // namespace Journal
