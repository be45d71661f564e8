// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarText.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "Win1252.h"

namespace CalendarText {

namespace {

using namespace std::chrono;

constexpr double kUnixEpochDayNumber = 25569;

sys_seconds Instant(double dayNumber) {
    return sys_seconds{seconds(std::llround((dayNumber - kUnixEpochDayNumber) * 86400))};
}

std::string DateText(double dayNumber) {
    const year_month_day date{floor<days>(Instant(dayNumber))};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

// "21:14" to the nearest minute, or with seconds for JSON: "2026-12-08T21:14:05Z".
std::string TimeText(double dayNumber, bool full) {
    const sys_seconds instant = Instant(dayNumber);
    const sys_seconds rounded = full ? instant : floor<minutes>(instant + seconds(30));
    const sys_days day = floor<days>(rounded);
    const hh_mm_ss<seconds> time{rounded - day};
    char text[64];
    if (full) {
        std::snprintf(text, sizeof text, "%sT%02lld:%02lld:%02lldZ", DateText(dayNumber).c_str(),
                      static_cast<long long>(time.hours().count()), static_cast<long long>(time.minutes().count()),
                      static_cast<long long>(time.seconds().count()));
    } else {
        std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(time.hours().count()),
                      static_cast<long long>(time.minutes().count()));
    }
    return text;
}

std::string Fixed(long double value, int decimals, bool sign = false) {
    char text[64];
    std::snprintf(text, sizeof text, sign ? "%+.*Lf" : "%.*Lf", decimals, value);
    return text;
}

std::string Marks(const eme_calendar::Day& day) {
    std::string marks;
    const auto add = [&marks](bool on, const char* name) {
        if (!on) return;
        if (!marks.empty()) marks += ' ';
        marks += name;
    };
    add(day.perigee, "perigee");
    add(day.apogee, "apogee");
    add(day.newMoon, "new");
    add(day.fullMoon, "full");
    return marks.empty() ? "-" : marks;
}

std::size_t Width(const std::string& utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

std::vector<std::string> Headers(const std::vector<std::string>& dxLocators) {
    std::vector<std::string> headers{"Date", "Highest", "At", "Up h"};
    for (const std::string& locator : dxLocators) headers.push_back("h " + win1252::ToUtf8(locator));
    for (const char* title : {"Dec", "Distance km", "Loss dB", "Sun", "Degr. dB", "Rating", "Marks"})
        headers.emplace_back(title);
    return headers;
}

std::vector<std::string> Cells(const eme_calendar::Day& day) {
    std::vector<std::string> cells{DateText(day.start), Fixed(day.highest, 1), TimeText(day.highestAt, false),
                                   Fixed(day.hoursUp, 1)};
    for (const long double hours : day.mutualHours) cells.push_back(Fixed(hours, 1));
    cells.push_back(Fixed(day.declination, 1, true));
    cells.push_back(Fixed(day.distanceKm, 0));
    cells.push_back(Fixed(day.pathLossDb, 1));
    cells.push_back(Fixed(day.sunMoonDegrees, 1) + (day.sunClose ? "!" : ""));
    cells.push_back(Fixed(day.degradationDb, 1));
    cells.push_back(eme_calendar::RatingName(eme_calendar::RatingOf(day.degradationDb)));
    cells.push_back(Marks(day));
    return cells;
}

std::string Table(const std::vector<eme_calendar::Day>& days, const std::vector<std::string>& dxLocators) {
    std::vector<std::vector<std::string>> rows{Headers(dxLocators)};
    for (const eme_calendar::Day& day : days) rows.push_back(Cells(day));
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size() && column < widths.size(); ++column)
            widths[column] = std::max(widths[column], Width(row[column]));
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            // The date, rating and marks read from the left, the figures from the right.
            const bool left = column == 0 || column + 2 >= row.size();
            const std::string padding(widths[column] - std::min(widths[column], Width(row[column])), ' ');
            if (column > 0) line += "  ";
            line += left ? row[column] + (column + 1 == row.size() ? "" : padding) : padding + row[column];
        }
        text += line + '\n';
    }
    return text;
}

std::string Json(const std::vector<eme_calendar::Day>& days, const std::vector<std::string>& dxLocators) {
    std::string text = "[";
    const auto boolean = [](bool value) { return value ? "true" : "false"; };
    for (std::size_t i = 0; i < days.size(); ++i) {
        const eme_calendar::Day& day = days[i];
        text += std::string(i ? "," : "") + "\n  {\"date\": \"" + DateText(day.start) +
                "\", \"highest_el\": " + Fixed(day.highest, 3) + ", \"highest_at\": \"" +
                TimeText(day.highestAt, true) + "\", \"hours_up\": " + Fixed(day.hoursUp, 4) + ", \"mutual_hours\": [";
        for (std::size_t dx = 0; dx < day.mutualHours.size() && dx < dxLocators.size(); ++dx) {
            text += std::string(dx ? ", " : "") + "{\"dx\": \"" + win1252::ToUtf8(dxLocators[dx]) +
                    "\", \"hours\": " + Fixed(day.mutualHours[dx], 4) + "}";
        }
        text += "], \"declination\": " + Fixed(day.declination, 3) + ", \"distance_km\": " + Fixed(day.distanceKm, 1) +
                ", \"path_loss_db\": " + Fixed(day.pathLossDb, 2) +
                ", \"sun_moon_deg\": " + Fixed(day.sunMoonDegrees, 2) + ", \"sun_close\": " + boolean(day.sunClose) +
                ", \"degradation_db\": " + Fixed(day.degradationDb, 2) + ", \"rating\": \"" +
                eme_calendar::RatingName(eme_calendar::RatingOf(day.degradationDb)) +
                "\", \"perigee\": " + boolean(day.perigee) + ", \"apogee\": " + boolean(day.apogee) +
                ", \"new_moon\": " + boolean(day.newMoon) + ", \"full_moon\": " + boolean(day.fullMoon) + "}";
    }
    return text + (days.empty() ? "]\n" : "\n]\n");
}

}  // namespace CalendarText
