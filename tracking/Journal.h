// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

#include "Location.h"
#include "StationLog.h"

// The run's journal: what was sent to the rotators, what failed and what was changed, newest first,
// the last kKept entries. Every entry also goes to the station's log file (StationLog) when one is
// set; the first time that file cannot be written the journal says so once, and tracking goes on.
// Texts are UTF-8.
namespace Journal {

inline constexpr std::size_t kKept = 1000;

struct Entry {
    Location::Instant at;
    std::string text;
};

// One run's journal, made at start-up and handed to everything that tells it something; it owns the
// log file its entries go to.
class Journal {
public:
    // Adds an entry stamped with the program's clock (Location::Now) and appends it to the log.
    void Add(std::string text);

    // Newest first.
    const std::deque<Entry>& Entries() const { return entries_; }

    // Counts every entry ever added, so that a window can tell whether it must redraw.
    std::uint64_t Revision() const { return revision_; }

    // Forgets every entry (a new run).
    void Clear();

    // The whole journal as text, newest first, one line an entry.
    std::string Text() const;

    StationLog::LogFile& Log() { return log_; }
    const StationLog::LogFile& Log() const { return log_; }

private:
    void Keep(Entry entry);

    std::deque<Entry> entries_;
    std::uint64_t revision_ = 0;
    bool logProblemReported_ = false;
    StationLog::LogFile log_;
};

// "2026-12-07 06:22:00 UTC": the instant to the second, always UTC.
std::string UtcDateTime(Location::Instant at);
// "06:22:00 UTC"
std::string UtcTime(Location::Instant at);
// "2026-12-07 06:22 UTC": the instant to the minute (cut, not rounded).
std::string UtcMinute(Location::Instant at);

// One entry as it stands in the journal and in the log: its time, two blanks, its text.
std::string Line(const Entry& entry);

}  // namespace Journal
