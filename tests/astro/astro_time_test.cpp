// SPDX-License-Identifier: GPL-3.0-or-later
#include "astro_time.h"

#include <gtest/gtest.h>

namespace {

using astro_time::DaysSinceDayZero;

// TT − UTC = 32.184 s + TAI − UTC, with TAI − UTC from IERS Bulletin C.
TEST(TerrestrialTime, FollowsTheLeapSecondsFrom1972) {
    struct Case {
        double utcDayNumber;
        double ttMinusUtc;
    };
    const Case cases[] = {
        {DaysSinceDayZero(1972, 1, 1), 42.184},
        {DaysSinceDayZero(1975, 6, 1) + 0.5, 46.184},
        {DaysSinceDayZero(1981, 7, 1) - 1e-6, 51.184},  // the last instant of 1981-06-30
        {DaysSinceDayZero(1981, 7, 1), 52.184},
        {DaysSinceDayZero(2000, 1, 1), 64.184},
        {DaysSinceDayZero(2016, 12, 31) + 0.99999, 68.184},
        {DaysSinceDayZero(2017, 1, 1), 69.184},
        {DaysSinceDayZero(2026, 12, 7), 69.184},
        {DaysSinceDayZero(2045, 1, 1), 69.184},  // no leap second announced beyond 2017
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(astro_time::TerrestrialTimeMinusUtc(c.utcDayNumber), c.ttMinusUtc) << c.utcDayNumber;
        EXPECT_NEAR((astro_time::TerrestrialTime(c.utcDayNumber) - c.utcDayNumber) * 86400, c.ttMinusUtc, 1e-5)
            << c.utcDayNumber;
    }
}

// ΔT from the observed record (Espenak & Meeus' table of historical values, rounded to 0.1 s).
TEST(DeltaT, PolynomialsFollowTheObservedRecord) {
    struct Case {
        double year, deltaT;
    };
    const Case cases[] = {{1800, 13.7}, {1820, 12.0}, {1860, 7.6},  {1900, -2.7}, {1920, 21.2}, {1940, 24.3},
                          {1950, 29.1}, {1960, 33.2}, {1970, 40.2}, {1980, 50.5}, {1990, 56.9}, {2000, 63.8}};
    for (const Case& c : cases) EXPECT_NEAR(astro_time::DeltaT(c.year), c.deltaT, 0.3) << c.year;
}

TEST(TerrestrialTime, BeforeTheLeapSecondsTakesDeltaTAndJoinsThemSmoothly) {
    const double lastOf1971 = DaysSinceDayZero(1972, 1, 1) - 1e-6;
    EXPECT_NEAR(astro_time::TerrestrialTimeMinusUtc(lastOf1971), 42.184, 0.2);
    EXPECT_NEAR(astro_time::TerrestrialTimeMinusUtc(DaysSinceDayZero(1950, 1, 1)), 29.1, 0.3);
}

TEST(Centuries, CountsJulianCenturiesFromJ2000) {
    EXPECT_EQ(astro_time::Centuries(36526.5), 0.0L);
    EXPECT_NEAR(astro_time::Centuries(33706.0), -0.077221081L, 1e-9L);  // Meeus, example 47.a
    EXPECT_NEAR(astro_time::Centuries(36526.5 + 36525), 1.0L, 1e-15L);
}

}  // namespace
