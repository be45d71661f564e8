// SPDX-License-Identifier: GPL-3.0-or-later
#include "moon_rise_set.h"

#include "moon.h"

namespace moon_rise_set {

namespace {

// The Moon's (and the Sun's) elevation changes by at most about 0.25° a minute, and the shortest time it spends
// above or below the horizon (away from the polar circles) is hours: ten-minute steps cannot step
// over a rise and the set that follows it.
constexpr double kStepDays = 10.0 / 1440.0;
constexpr double kResolutionDays = 0.5 / 86400.0;

long double Elevation(double dayNumber, long double longitudeWest, long double latitude) {
    long double elevation = 0.0L;
    long double azimuth = 0.0L;
    moon::MoonHorizontalPosition(dayNumber, longitudeWest, latitude, elevation, azimuth);
    return elevation;
}

}  // namespace

std::optional<HorizonCrossing> NextHorizonCrossing(double dayNumber, long double longitudeWest, long double latitude,
                                                   double searchDays) {
    return NextHorizonCrossing(
        dayNumber, [=](double day) { return Elevation(day, longitudeWest, latitude); }, searchDays);
}

std::optional<HorizonCrossing> NextHorizonCrossing(double dayNumber, const ElevationFunction& elevationAt,
                                                   double searchDays) {
    double before = dayNumber;
    bool above = elevationAt(before) > 0.0L;
    for (double after = dayNumber + kStepDays; after <= dayNumber + searchDays + kStepDays / 2; after += kStepDays) {
        if ((elevationAt(after) > 0.0L) == above) {
            before = after;
            continue;
        }
        // The sign changes between before and after: halve until a second is left.
        double low = before;
        double high = after;
        while (high - low > kResolutionDays) {
            const double middle = low + (high - low) / 2.0;
            if ((elevationAt(middle) > 0.0L) == above) {
                low = middle;
            } else {
                high = middle;
            }
        }
        return HorizonCrossing{high, !above};
    }
    return std::nullopt;
}

}  // namespace moon_rise_set
