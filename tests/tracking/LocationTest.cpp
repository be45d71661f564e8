// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Location.h"

namespace {

using namespace std::chrono;

// Worked by hand on the Maidenhead grid: field 20 x 10 degrees from 180 W / 90 S, square 2 x 1,
// sub-square 1/12 x 1/24 degree, the south-west corner; longitude west positive.
TEST(LocatorToLonLat, GivesTheSouthWestCornerOrTheSquaresCentre) {
    struct Case {
        std::string locator;
        long double longitudeWest, latitude;
    };
    const Case cases[] = {
        {"JO22IC", -(4.0L + 8.0L / 12.0L), 52.0L + 2.0L / 24.0L},
        {"jo22ic", -(4.0L + 8.0L / 12.0L), 52.0L + 2.0L / 24.0L},
        {"JO22ICxx", -(4.0L + 8.0L / 12.0L), 52.0L + 2.0L / 24.0L},  // only six characters count
        {"AA00AA", 180.0L, -90.0L},
        {"RR99XX", -(179.0L + 11.0L / 12.0L), 89.0L + 23.0L / 24.0L},
        {"FN31PR", 72.75L, 41.0L + 17.0L / 24.0L},  // 72 deg 45 min W, 41 deg 42.5 min N
        {"JO22", -5.0L, 52.5L},                     // square 4..6 E, 52..53 N: its centre
        {"jo22I", -5.0L, 52.5L},                    // a lone fifth letter makes no sub-square
        {"JO22Z", -5.0L, 52.5L},                    // ... and is not looked at
        {"rr99xx", -(179.0L + 11.0L / 12.0L), 89.0L + 23.0L / 24.0L},
        {"JO22IC9!", -(4.0L + 8.0L / 12.0L), 52.0L + 2.0L / 24.0L},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locator);
        ASSERT_TRUE(Location::LocatorToLonLat(c.locator));
        EXPECT_NEAR(static_cast<double>(Location::Longitude), static_cast<double>(c.longitudeWest), 1e-12);
        EXPECT_NEAR(static_cast<double>(Location::Latitude), static_cast<double>(c.latitude), 1e-12);
    }
    // Too short, or a character it uses off the grid: no position, the previous one stays, nothing
    // past the text is read; the fault is the first such character.
    struct Fault {
        std::string locator;
        std::size_t at;
    };
    // clang-format off
    const Fault faults[] = {
        {"", 0}, {"J", 1}, {"JO", 2}, {"JO2", 3},
        {"J022IC", 1},                 // zero typed for the letter O
        {"ZZ99ZZ", 0}, {"SA00AA", 0},  // field letters end at R
        {"AS00AA", 1}, {"JOA2IC", 2}, {"JO2AIC", 3}, {"JO22YC", 4}, {"JO22iy", 5},
        {"JO22I ", 5}, {"JO2\xB2IC", 3}, {"J\xD6" "22IC", 1}, {"JO22", std::string::npos},
    };
    // clang-format on
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.locator);
        EXPECT_EQ(Location::LocatorFault(f.locator), f.at);
        if (f.at == std::string::npos) continue;
        Location::Longitude = 12.25L;
        Location::Latitude = -33.5L;
        EXPECT_FALSE(Location::LocatorToLonLat(f.locator));
        EXPECT_EQ(Location::Longitude, 12.25L);
        EXPECT_EQ(Location::Latitude, -33.5L);
    }
}

// Day numbers as a spreadsheet counts them: 1899-12-30 is day 0.
TEST(DayNumber, CountsDaysSince1899December30WithTheTimeAsFraction) {
    struct Case {
        sys_time<microseconds> instant;
        double dayNumber;
    };
    const Case cases[] = {
        {sys_days{2000y / January / 1}, 36526.0},
        {sys_days{2023y / March / 22} + 12h, 45007.5},
        {sys_days{1899y / December / 30}, 0.0},
        {sys_days{1960y / January / 1} + 18h, 21916.75},  // before the system clock's epoch
        {sys_days{2024y / February / 29} + 23h + 59min + 59s + 999ms, 45351.0 + 86399999.0 / 86400000.0},
        {sys_days{2000y / January / 1} + 999us, 36526.0},  // whole milliseconds only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dayNumber);
        EXPECT_DOUBLE_EQ(Location::DayNumber(c.instant), c.dayNumber);
    }
}

TEST(UtcNow, ReadsTheInstalledClock) {
    sys_time<milliseconds> now = sys_days{2023y / March / 22} + 12h;
    const auto previous = Location::SetClock([&now] { return now; });
    const double first = Location::UtcNow();
    now += 1s;
    const double second = Location::UtcNow();
    Location::SetClock(previous);
    EXPECT_DOUBLE_EQ(first, 45007.5);
    EXPECT_NEAR(second - first, 1.0 / 86400.0, 1e-9);
}

}  // namespace
