// SPDX-License-Identifier: GPL-3.0-or-later
// The frames every body passes through on its way to an observer's sky: the nutation and the true
// obliquity of the ecliptic (IAU 1980, first 31 terms), the ecliptic of date to right ascension and
// declination, the apparent sidereal time at Greenwich, and right ascension and declination to altitude and
// azimuth. The bodies (the Moon, the Sun) give their ecliptic or equatorial coordinates; these routines do
// the rest.
//
// Angles are long double degrees; day numbers are days since 1899-12-30 00:00; longitudes are positive west
// of Greenwich. The routines do not check for faults: a fault raises the processor flag and a meaningless
// value is NaN (see astro_math.h); an entry point that strings several of them together checks once.
#pragma once

#include "angle_series.h"

namespace sky_frames {

// Nutation in longitude Δψ and true obliquity ε at one instant, with ε as a unit turn (cos ε, sin ε).
struct NutationValues {
    long double deltaPsi;  // degrees
    long double epsilon;   // degrees
    angle_series::UnitTurn obliquity;
};

NutationValues NutationAt(double dayNumber);

// An apparent place: the ecliptic longitude with the nutation added, right ascension and declination.
struct EquatorialPosition {
    long double longitude;       // apparent λ, degrees in [0, 360]
    long double rightAscension;  // α, degrees in [-90, 270], not reduced to [0, 360)
    long double declination;     // δ, degrees
};

// Ecliptic longitude and latitude referred to the mean equinox of date to the apparent place.
EquatorialPosition EclipticToEquatorial(long double longitude, long double latitude, const NutationValues& nutation);

// Apparent sidereal time at Greenwich in degrees, [0, 360]: the IAU 1982 mean sidereal time of the day
// number (taken as Universal Time) plus the equation of the equinoxes Δψ cos ε.
long double ApparentSiderealTime(double dayNumber, const NutationValues& nutation);

// Altitude h and azimuth A counted from the south towards the west, in [-90, 270].
struct HorizontalPosition {
    long double altitude;
    long double azimuth;
};

// α and δ to altitude and azimuth for an observer at longitudeWest and latitude, at the given sidereal time.
HorizontalPosition EquatorialToHorizontal(long double rightAscension, long double declination, long double siderealTime,
                                          long double longitudeWest, long double latitude);

// The observer's place relative to the Earth's centre, on the WGS-84 ellipsoid: ρ sin φ′ and ρ cos φ′ in
// equatorial radii (φ′ the geocentric latitude, ρ the distance from the centre).
struct GeocentricObserver {
    long double rhoSinPhi;
    long double rhoCosPhi;
};

// Geodetic latitude (degrees, positive north) and height above the ellipsoid (metres) to the geocentric
// place.
GeocentricObserver ObserverOnEllipsoid(long double latitude, long double heightMetres);

// The Earth's equatorial radius on the WGS-84 ellipsoid, km.
inline constexpr long double kEquatorialRadiusKm = 6378.137L;

// A body's geocentric α and δ, at distanceKm from the Earth's centre, as seen from the observer: the
// full parallax, from the difference of the two position vectors. α stays within a parallax (under 1.1°)
// of the geocentric value, not reduced to one turn.
struct TopocentricPlace {
    long double rightAscension;
    long double declination;
    long double distanceKm;  // from the observer
};
TopocentricPlace TopocentricFromGeocentric(long double rightAscension, long double declination, long double distanceKm,
                                           long double siderealTime, long double longitudeWest,
                                           const GeocentricObserver& observer);

// Atmospheric refraction in degrees to add to a true (airless) altitude in degrees: Saemundsson's formula
// for a standard atmosphere, scaled by pressure (hPa) and temperature (°C), down to -1° of altitude; from
// -1° to -2° the correction fades linearly to zero and below -2° there is none. Continuous everywhere.
long double Refraction(long double altitude, long double temperatureCelsius, long double pressureHpa);

}  // namespace sky_frames
