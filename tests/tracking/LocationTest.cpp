#include "Location.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono;

struct LocatorCase {
    std::string locator;
    long double longitudeWest;
    long double latitude;
};

// Worked by hand from the Maidenhead grid: field 20 x 10 degrees from 180 W / 90 S, square 2 x 1,
// sub-square 5' x 2.5'; the corner is south-west.
TEST(LocatorToLonLat, GivesTheSouthWestCornerOfTheSubsquare) {
    const LocatorCase cases[] = {
        {"JO22IC", -(4.0L + 8.0L / 12.0L), 52.0L + 2.0L / 24.0L},
        {"jo22ic", -(4.0L + 8.0L / 12.0L), 52.0L + 2.0L / 24.0L},
        {"Jo22iC", -(4.0L + 8.0L / 12.0L), 52.0L + 2.0L / 24.0L},
        {"AA00AA", 180.0L, -90.0L},
        {"RR99XX", -(179.0L + 11.0L / 12.0L), 89.0L + 23.0L / 24.0L},
        {"FN31PR", 74.0L - 15.0L / 12.0L, 41.0L + 17.0L / 24.0L},  // 72 deg 45 min W, 41 deg 42.5 min N
        {"JO22ICxx", -(4.0L + 8.0L / 12.0L), 52.0L + 2.0L / 24.0L},  // only six characters count
        // Letters beyond the grid are used as they come, giving positions off the globe.
        {"ZZ99ZZ", -(320.0L + 18.0L + 25.0L / 12.0L), 160.0L + 9.0L + 25.0L / 24.0L},
    };
    for (const LocatorCase& c : cases) {
        SCOPED_TRACE(c.locator);
        Location::Longitude = 1000.0L;
        Location::Latitude = 1000.0L;
        ASSERT_TRUE(Location::LocatorToLonLat(c.locator));
        EXPECT_NEAR(static_cast<double>(Location::Longitude), static_cast<double>(c.longitudeWest), 1e-12);
        EXPECT_NEAR(static_cast<double>(Location::Latitude), static_cast<double>(c.latitude), 1e-12);
    }
}

TEST(LocatorToLonLat, ShortLocatorsGiveTheCentreOfTheSquareOrNothing) {
    // JO22 spans 4..6 E, 52..53 N: its centre is 5 E, 52.5 N, whatever a lone fifth letter says.
    for (const std::string locator : {"JO22", "jo22", "JO22I"}) {
        SCOPED_TRACE(locator);
        ASSERT_TRUE(Location::LocatorToLonLat(locator));
        EXPECT_NEAR(static_cast<double>(Location::Longitude), -5.0, 1e-12);
        EXPECT_NEAR(static_cast<double>(Location::Latitude), 52.5, 1e-12);
    }
    // Nothing to go on: the previous position stays as it was, and no byte past the text is read.
    for (const std::string locator : {"", "J", "JO", "JO2"}) {
        SCOPED_TRACE(locator);
        Location::Longitude = 12.25L;
        Location::Latitude = -33.5L;
        EXPECT_FALSE(Location::LocatorToLonLat(locator));
        EXPECT_EQ(Location::Longitude, 12.25L);
        EXPECT_EQ(Location::Latitude, -33.5L);
    }
}

TEST(LocatorToLonLat, LeavesTheCallersTextAsItWas) {
    const std::string locator = "jo22ic";
    Location::LocatorToLonLat(locator);
    EXPECT_EQ(locator, "jo22ic");
}

// Day numbers as a spreadsheet counts them (1899-12-30 is day 0).
TEST(DayNumber, CountsDaysSince1899December30WithTheTimeAsFraction) {
    struct Case {
        sys_time<milliseconds> instant;
        double dayNumber;
    };
    const Case cases[] = {
        {sys_days{2000y / January / 1}, 36526.0},
        {sys_days{2023y / March / 22} + 12h, 45007.5},
        {sys_days{1970y / January / 1} + 6h, 25569.25},
        {sys_days{1899y / December / 30}, 0.0},
        {sys_days{1960y / January / 1} + 18h, 21916.75},  // before 1970 too
        {sys_days{2024y / February / 29} + 23h + 59min + 59s + 999ms, 45351.0 + 86399999.0 / 86400000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dayNumber);
        EXPECT_DOUBLE_EQ(Location::DayNumber(c.instant), c.dayNumber);
    }
    // Parts of a millisecond are dropped, as the system clock reports only whole ones.
    EXPECT_DOUBLE_EQ(Location::DayNumber(sys_days{2000y / January / 1} + 999us), 36526.0);
}

TEST(UtcNow, ReadsTheInstalledClock) {
    sys_time<milliseconds> now = sys_days{2023y / March / 22} + 12h;
    const auto previous = Location::SetClock([&now] { return system_clock::time_point(now); });
    const double first = Location::UtcNow();
    now += 1s;
    const double second = Location::UtcNow();
    Location::SetClock(previous);
    EXPECT_DOUBLE_EQ(first, 45007.5);
    EXPECT_NEAR(second - first, 1.0 / 86400.0, 1e-9);
}

}  // namespace
