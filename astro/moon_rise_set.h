// SPDX-License-Identifier: GPL-3.0-or-later
// The Moon's next rise or set for an observer: the next instant at which its elevation, as
// moon::MoonHorizontalPosition gives it, crosses 0°. Found by stepping forward in time and halving
// the step across the first change of sign, so it agrees with the elevation the program shows.
#pragma once

#include <functional>
#include <optional>

namespace moon_rise_set {

struct HorizonCrossing {
    double dayNumber;  // UTC, days since 1899-12-30 00:00
    bool rising;       // true: the Moon rises; false: it sets
};

// The first crossing after dayNumber within searchDays, to about a second, for an observer at
// longitudeWest (degrees, positive west) and latitude (degrees, positive north); nullopt when the
// Moon stays above or below the horizon that long (near the poles). Throws what
// moon::MoonHorizontalPosition throws.
std::optional<HorizonCrossing> NextHorizonCrossing(double dayNumber, long double longitudeWest, long double latitude,
                                                   double searchDays = 2.0);

// The same for any body that moves as slowly across the sky (the Sun), by its elevation in degrees
// at a UTC day number; throws what elevationAt throws.
using ElevationFunction = std::function<long double(double dayNumber)>;
std::optional<HorizonCrossing> NextHorizonCrossing(double dayNumber, const ElevationFunction& elevationAt,
                                                   double searchDays = 2.0);

}  // namespace moon_rise_set
