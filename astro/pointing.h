// SPDX-License-Identifier: GPL-3.0-or-later
// Precise pointing: where a dish at a known place must look to see the Moon or the Sun, as the body's
// apparent topocentric position. Dynamical time from UTC (leap seconds, or ΔT before 1972), the body's
// apparent geocentric place, the parallax from its distance and the observer's place on the WGS-84
// ellipsoid, the sidereal time and the horizon, and optionally the atmospheric refraction.
//
// Day numbers are UTC days since 1899-12-30 00:00; angles are long double degrees. A fault in the arithmetic
// throws astro_math::InvalidOperation, DivisionByZero or FloatingPointOverflow.
#pragma once

#include "sky_frames.h"

namespace pointing {

enum class Target { Moon, Sun };

// The antenna's place: geodetic latitude (positive north) and longitude (positive EAST) in degrees, height
// above the ellipsoid in metres.
struct Station {
    long double latitude = 0;
    long double longitudeEast = 0;
    long double heightMetres = 0;
};

// Refraction is applied only when asked for, with the air's temperature (°C, above -273.15) and pressure
// (hPa, not negative).
struct Atmosphere {
    bool refraction = false;
    long double temperatureCelsius = 10;
    long double pressureHpa = 1010;
};

struct Direction {
    long double elevation;   // degrees above the horizon, negative below it
    long double azimuth;     // bearing from north through east, (0, 360]; due north is 360
    long double distanceKm;  // from the observer to the body's centre
};

Direction PrecisePosition(Target target, double utcDayNumber, const Station& station, const Atmosphere& atmosphere);

// The body's apparent place seen from the station (true equator and equinox of date), with the nutation
// and the apparent sidereal time at Greenwich of the instant. No fault check: for a caller that clears the
// faults before a longer computation and checks its results after it.
struct TopocentricApparent {
    sky_frames::TopocentricPlace place;
    sky_frames::NutationValues nutation;
    long double siderealTime;
};
TopocentricApparent TopocentricApparentUnchecked(Target target, double utcDayNumber, const Station& station);

}  // namespace pointing
