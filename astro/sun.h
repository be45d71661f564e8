// SPDX-License-Identifier: GPL-3.0-or-later
// The Sun's geocentric position: Meeus' solar theory of Astronomical Algorithms, chapter 25 (the mean
// longitude and anomaly with the equation of the centre), with the largest planetary and lunar
// perturbations added (within 0.004° of VSOP87 over 1975–2045), and the nutation and the annual
// aberration for the apparent place.
//
// Day numbers count days since 1899-12-30 00:00 in Terrestrial (dynamical) Time here; angles are long double
// degrees. Like the Moon's routines, a fault in the arithmetic throws astro_math::InvalidOperation,
// DivisionByZero or FloatingPointOverflow, and outputs are written only on success.
#pragma once

#include "sky_frames.h"

namespace sun {

// Geometric ecliptic longitude (mean equinox of date, degrees in [0, 360]) and distance (AU).
struct SunGeometric {
    long double longitude;
    long double distanceAu;
};

SunGeometric SunGeometricPosition(double dynamicalDayNumber);

// The apparent place: λ with nutation and aberration (its latitude, under 1.2″, is taken as 0), α, δ.
struct SunApparent {
    sky_frames::EquatorialPosition place;
    long double distanceKm;
};

SunApparent SunApparentPosition(double dynamicalDayNumber);

// The same with the nutation of that instant supplied and no fault check, for a caller that checks once.
SunApparent SunApparentPositionUnchecked(double dynamicalDayNumber, const sky_frames::NutationValues& nutation);

}  // namespace sun
