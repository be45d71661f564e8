// SPDX-License-Identifier: GPL-3.0-or-later
// The weeks ahead for Earth-Moon-Earth work, one UTC day at a time: how high the Moon climbs here and when,
// how long it stands above the lowest usable elevation (alone, and together with each DX station), how far
// it is and what that costs against perigee, how close the Sun stands to it and how much worse one's own echo
// is at its highest than at perigee before the coldest sky, with the days of perigee, apogee, new and full
// Moon marked. Positions are the airless topocentric ones of pointing.h (eme_plan, eme_path).
//
// Day numbers are UTC days since 1899-12-30 00:00; angles are degrees; a fault in the arithmetic throws as
// pointing::PrecisePosition does.
#pragma once

#include <vector>

#include "horizon_mask.h"
#include "pointing.h"

namespace eme_calendar {

// Days with the Sun nearer the Moon than this are marked: its noise and the solar wind spoil the echo.
inline constexpr long double kSunMoonWarningDegrees = 15;

// How EME operators rate a day by its degradation, dB: under 1.5 excellent, to 2.5 good, to 4 fair, to 5.5
// poor, above that very poor.
enum class Rating { Excellent, Good, Fair, Poor, VeryPoor };
Rating RatingOf(long double degradationDb);
const char* RatingName(Rating rating);  // "excellent", ..., "very poor"

struct Day {
    double start;                             // day number of 00:00 UTC
    double highestAt;                         // when the Moon stands highest here during the day
    long double highest;                      // its elevation then (may be negative: it stays below the horizon)
    long double hoursUp;                      // hours above the lowest usable elevation (mask included)
    std::vector<long double> mutualHours;     // hours above both stations' minimums, one per DX station
    long double declination;                  // the Moon's apparent geocentric declination at its highest
    long double distanceKm;                   // from here, at its highest
    long double pathLossDb;                   // one's own echo over the same at perigee distance, at its highest
    long double sunMoonDegrees;               // at its highest
    long double degradationDb;                // at its highest (eme_path::Degradation)
    bool sunClose;                            // sunMoonDegrees < kSunMoonWarningDegrees
    bool perigee, apogee, newMoon, fullMoon;  // the instant of each falls within the day
};

struct Request {
    double from;  // day number; the first row is the UTC day that holds it
    int days;     // 1 to 366
    pointing::Station home;
    std::vector<pointing::Station> dx;
    long double minElevation = 5;
    long double dxMinElevation = 5;
    long double frequencyHz = 1296e6;
    horizon_mask::Mask mask{};
};

// One row per UTC day. Throws std::invalid_argument for days outside 1 to 366 or a frequency not positive.
std::vector<Day> Calendar(const Request& request);

// The instants of the Moon's perigees and apogees (its geocentric distance least and greatest) and of
// new and full Moon (the apparent ecliptic longitudes of Moon and Sun equal and opposite) between two
// day numbers, in time order.
struct Events {
    std::vector<double> perigees, apogees, newMoons, fullMoons;
};
Events LunarEvents(double from, double until);

}  // namespace eme_calendar
