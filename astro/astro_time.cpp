// SPDX-License-Identifier: GPL-3.0-or-later
#include "astro_time.h"

#include <cmath>
#include <iterator>

namespace astro_time {

namespace {

// A day number of UTC from which TAI − UTC holds until the next row.
struct LeapSecondStep {
    long dayNumber;
    int taiMinusUtc;  // seconds
};

// Every leap second since UTC took whole seconds (IERS Bulletin C), in order.
// clang-format off
constexpr LeapSecondStep kLeapSeconds[] = {
    {DaysSinceDayZero(1972, 1, 1), 10}, {DaysSinceDayZero(1972, 7, 1), 11}, {DaysSinceDayZero(1973, 1, 1), 12},
    {DaysSinceDayZero(1974, 1, 1), 13}, {DaysSinceDayZero(1975, 1, 1), 14}, {DaysSinceDayZero(1976, 1, 1), 15},
    {DaysSinceDayZero(1977, 1, 1), 16}, {DaysSinceDayZero(1978, 1, 1), 17}, {DaysSinceDayZero(1979, 1, 1), 18},
    {DaysSinceDayZero(1980, 1, 1), 19}, {DaysSinceDayZero(1981, 7, 1), 20}, {DaysSinceDayZero(1982, 7, 1), 21},
    {DaysSinceDayZero(1983, 7, 1), 22}, {DaysSinceDayZero(1985, 7, 1), 23}, {DaysSinceDayZero(1988, 1, 1), 24},
    {DaysSinceDayZero(1990, 1, 1), 25}, {DaysSinceDayZero(1991, 1, 1), 26}, {DaysSinceDayZero(1992, 7, 1), 27},
    {DaysSinceDayZero(1993, 7, 1), 28}, {DaysSinceDayZero(1994, 7, 1), 29}, {DaysSinceDayZero(1996, 1, 1), 30},
    {DaysSinceDayZero(1997, 7, 1), 31}, {DaysSinceDayZero(1999, 1, 1), 32}, {DaysSinceDayZero(2006, 1, 1), 33},
    {DaysSinceDayZero(2009, 1, 1), 34}, {DaysSinceDayZero(2012, 7, 1), 35}, {DaysSinceDayZero(2015, 7, 1), 36},
    {DaysSinceDayZero(2017, 1, 1), 37},
};
// clang-format on
static_assert(std::size(kLeapSeconds) == 28, "leap seconds announced up to 2026");

constexpr double kTtMinusTai = 32.184;  // seconds

// The decimal year of a day number, close enough for ΔT (which changes by about a second a year).
double DecimalYear(double dayNumber) {
    return 1900.0 + (dayNumber - DaysSinceDayZero(1900, 1, 1)) / 365.2425;
}

}  // namespace

double DeltaT(double year) {
    // Espenak & Meeus, "Five Millennium Canon of Solar Eclipses" (NASA/TP-2006-214141), the segments of
    // the modern era.
    if (year >= 1800 && year < 1860) {
        const double t = year - 1800;
        return 13.72 + t * (-0.332447 +
                            t * (0.0068612 +
                                 t * (0.0041116 + t * (-0.00037436 + t * (0.0000121272 +
                                                                          t * (-0.0000001699 + t * 0.000000000875))))));
    }
    if (year >= 1860 && year < 1900) {
        const double t = year - 1860;
        return 7.62 + t * (0.5737 + t * (-0.251754 + t * (0.01680668 + t * (-0.0004473624 + t / 233174))));
    }
    if (year >= 1900 && year < 1920) {
        const double t = year - 1900;
        return -2.79 + t * (1.494119 + t * (-0.0598939 + t * (0.0061966 - t * 0.000197)));
    }
    if (year >= 1920 && year < 1941) {
        const double t = year - 1920;
        return 21.20 + t * (0.84493 + t * (-0.076100 + t * 0.0020936));
    }
    if (year >= 1941 && year < 1961) {
        const double t = year - 1950;
        return 29.07 + t * (0.407 + t * (-1.0 / 233 + t / 2547));
    }
    if (year >= 1961 && year < 1986) {
        const double t = year - 1975;
        return 45.45 + t * (1.067 + t * (-1.0 / 260 - t / 718));
    }
    if (year >= 1986 && year < 2005) {
        const double t = year - 2000;
        return 63.86 + t * (0.3345 + t * (-0.060374 + t * (0.0017275 + t * (0.000651814 + t * 0.00002373599))));
    }
    if (year >= 2005 && year < 2050) {
        const double t = year - 2000;
        return 62.92 + t * (0.32217 + t * 0.005589);
    }
    if (year >= 2050 && year < 2150) {
        const double u = (year - 1820) / 100;
        return -20 + 32 * u * u - 0.5628 * (2150 - year);
    }
    const double u = (year - 1820) / 100;
    return -20 + 32 * u * u;
}

double TerrestrialTimeMinusUtc(double utcDayNumber) {
    if (utcDayNumber < kLeapSeconds[0].dayNumber) return DeltaT(DecimalYear(utcDayNumber));
    int taiMinusUtc = kLeapSeconds[0].taiMinusUtc;
    for (const LeapSecondStep& step : kLeapSeconds) {
        if (utcDayNumber < step.dayNumber) break;
        taiMinusUtc = step.taiMinusUtc;
    }
    return kTtMinusTai + taiMinusUtc;
}

double TerrestrialTime(double utcDayNumber) {
    return utcDayNumber + TerrestrialTimeMinusUtc(utcDayNumber) / 86400.0;
}

}  // namespace astro_time
