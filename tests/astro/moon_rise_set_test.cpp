// SPDX-License-Identifier: GPL-3.0-or-later
#include "moon_rise_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Day number (days since 1899-12-30) of "YYYY-MM-DDTHH:MM:SSZ", by the civil-from-days algorithm.
double DayNumberOf(const std::string& text) {
    const int year = std::stoi(text.substr(0, 4)), month = std::stoi(text.substr(5, 2));
    const int day = std::stoi(text.substr(8, 2));
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const double unixDays = era * 146097.0 + doe - 719468.0;
    const double seconds =
        std::stoi(text.substr(11, 2)) * 3600.0 + std::stoi(text.substr(14, 2)) * 60.0 + std::stoi(text.substr(17, 2));
    return unixDays + 25569.0 + seconds / 86400.0;
}

// The next crossing of the horizon by the Moon's centre, from astropy's topocentric apparent Moon
// without refraction (scripts/moon-horizon-reference.py). The program's elevation is the geocentric
// altitude less a fixed 0.9° for the parallax, which at the horizon is 0.90° to 1.02°: up to 0.12°
// apart, a minute or two of the Moon's climb, more at a shallow angle far north.
TEST(MoonRiseSet, NextCrossingAgreesWithAstropyToAFewMinutes) {
    struct Case {
        double latitude, eastLongitude;
        const char* from;
        const char* crossing;
        bool rising;
    };
    const Case cases[] = {
        {52.0833, 4.6667, "2023-03-22T12:00:00Z", "2023-03-22T19:02:05Z", false},
        {52.0833, 4.6667, "2026-12-07T06:00:00Z", "2026-12-07T06:33:02Z", true},
        {-33.8750, 151.2083, "2024-07-01T00:00:00Z", "2024-07-01T02:47:19Z", false},
        {0.0417, -78.5000, "2025-01-15T18:30:00Z", "2025-01-16T01:15:48Z", true},
        {60.1667, 24.9167, "2024-12-24T09:00:00Z", "2024-12-24T10:04:12Z", false},
        {40.0000, -105.0000, "2030-05-05T05:05:00Z", "2030-05-05T13:54:42Z", true},
        {-45.0000, 170.0000, "1999-08-11T11:00:00Z", "1999-08-11T20:11:48Z", true},
        {35.6667, 139.7500, "2021-05-26T10:00:00Z", "2021-05-26T19:46:13Z", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " at " + std::to_string(c.latitude));
        const auto crossing = moon_rise_set::NextHorizonCrossing(DayNumberOf(c.from), -c.eastLongitude, c.latitude);
        ASSERT_TRUE(crossing.has_value());
        EXPECT_EQ(crossing->rising, c.rising);
        EXPECT_NEAR(crossing->dayNumber, DayNumberOf(c.crossing), 4.0 / 1440.0);
    }
}

TEST(MoonRiseSet, NoCrossingWhileTheMoonStaysUpOrDownAndNoneBeforeTheStart) {
    // Far north in December 2024, near the major lunar standstill, the Moon stays up for days
    // (astropy: at 80° N, 15° E its altitude stays above 11° from 2024-12-13 to 12-17).
    EXPECT_FALSE(moon_rise_set::NextHorizonCrossing(DayNumberOf("2024-12-14T00:00:00Z"), -15.0L, 80.0L, 1.0));
    // A crossing is never before the start, even when the search starts a second after one.
    const double start = DayNumberOf("2026-12-07T06:00:00Z");
    const auto first = moon_rise_set::NextHorizonCrossing(start, -4.6667L, 52.0833L);
    ASSERT_TRUE(first.has_value());
    const auto next = moon_rise_set::NextHorizonCrossing(first->dayNumber + 1.0 / 86400.0, -4.6667L, 52.0833L);
    ASSERT_TRUE(next.has_value());
    EXPECT_GT(next->dayNumber, first->dayNumber + 0.2);
    EXPECT_NE(next->rising, first->rising);
}

}  // namespace
