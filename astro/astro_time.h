// SPDX-License-Identifier: GPL-3.0-or-later
// Time in the astronomy library: day numbers (days since 1899-12-30 00:00, the program's clock values),
// Julian Days and centuries, and the step from the clock's UTC to the dynamical time of the theories.
#pragma once

namespace astro_time {

// Whole days from 1899-12-30 to a Gregorian calendar date: the calendar encoding of day numbers.
constexpr long DaysSinceDayZero(int year, int month, int day) {
    constexpr int kMonthStarts[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const long previous = year - 1;
    const long dayOfYear = kMonthStarts[month - 1] + (leap && month > 2 ? 1 : 0) + day;
    // 693594 is the count of days from 0001-01-01 (day 1) to 1899-12-30.
    return previous * 365 + previous / 4 - previous / 100 + previous / 400 + dayOfYear - 693594;
}
static_assert(DaysSinceDayZero(1899, 12, 30) == 0);
static_assert(DaysSinceDayZero(2000, 1, 1) == 36526);

// Julian Day of day number 0: the Julian Day of 2000-01-01 00:00 less that date's day number.
inline constexpr long double kDayZeroJd = 2451544.5L - DaysSinceDayZero(2000, 1, 1);

inline constexpr long double kJ2000 = 2451545.0L;

// Day number to Julian Day.
inline long double DayNumberToJd(double dayNumber) {
    return dayNumber + kDayZeroJd;
}

// Julian centuries of 36525 days from J2000.0 (2000-01-01 12:00) to the day number.
inline long double Centuries(double dayNumber) {
    return (DayNumberToJd(dayNumber) - kJ2000) * (1.0L / 36525);
}

// ΔT = TT − UT in seconds at a decimal year (2000.0 is the start of 2000), from the polynomial fits of
// Espenak and Meeus to the historical record; outside 1800–2150 their long-term parabola. Only dates before
// 1972 use it: from then on TerrestrialTime follows the leap seconds, which is exact.
double DeltaT(double year);

// TT − UTC in seconds at a UTC day number: 32.184 s plus TAI − UTC (the leap seconds) from 1972, the
// last leap second (2017-01-01, 37 s) held beyond it; ΔT before 1972, when UTC followed UT. Universal Time
// itself (UT1) is taken as UTC, which it never leaves by more than 0.9 s.
double TerrestrialTimeMinusUtc(double utcDayNumber);

// The day number of Terrestrial (dynamical) Time at a UTC day number.
double TerrestrialTime(double utcDayNumber);

}  // namespace astro_time
