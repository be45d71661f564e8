// SPDX-License-Identifier: GPL-3.0-or-later
// The Moon's position: day numbers and Julian Days, the truncated ELP-2000/82 lunar theory with the IAU 1980
// nutation (first 31 terms), and the azimuth and elevation for an observer.
//
// Day numbers are doubles counting days since 1899-12-30 00:00 UTC; angles are long double degrees;
// longitudes are positive west of Greenwich. Every routine clears the floating-point flags before it starts
// and throws astro_math::InvalidOperation, DivisionByZero or FloatingPointOverflow (see astro_math.h) when
// its arithmetic faults or a result would be NaN or infinite: a NaN or infinite day number or angle, or one
// so large that an angle exceeds 2^31 turns, gives InvalidOperation. Outputs are written only on success.
#pragma once

namespace moon {

// The Moon's working record, filled in stages by the routines below.
struct MoonCoordinates {
    long double longitude;       // ecliptic λ, degrees: geometric and unreduced, then apparent in [0, 360]
    long double latitude;        // ecliptic β, degrees
    long double distance;        // between the centres of Earth and Moon, km
    long double rightAscension;  // α, degrees in [-90, 270], not reduced to [0, 360)
    long double declination;     // δ, degrees
    long double altitude;        // h, geocentric, degrees
    long double azimuth;         // A, degrees from the south towards the west, in [-90, 270]
};

// Julian Day of day number 0 (1899-12-30 00:00): the Julian Day of 2000-01-01 00:00 less that date's day
// number from the calendar encoding, worked out before any code of the program runs.
extern const long double DayZeroJd;

// Day number (days since 1899-12-30 00:00) to Julian Day.
long double DayNumberToJd(double dayNumber);

// Nutation in longitude Δψ and true obliquity of the ecliptic ε, both in degrees, at the given day number.
void Nutation(double dayNumber, long double& deltaPsi, long double& epsilon);

// Reads λ (geometric) and β; replaces λ by the apparent longitude and writes α and δ.
void EclipticToEquatorial(MoonCoordinates& record, double dayNumber);

// Writes λ, β and the distance from the lunar theory, then applies EclipticToEquatorial: on return λ
// (apparent), β, distance, α and δ are set.
void MoonEclipticPosition(MoonCoordinates& record, double dayNumber);

// Apparent sidereal time at Greenwich in degrees, [0, 360]; the day number serves as Universal Time.
long double ApparentSiderealTime(double dayNumber);

// Reads α and δ; writes the geocentric altitude h and the azimuth A (from the south, [-90, 270]) for an
// observer at longitudeWest (degrees, positive west) and latitude (degrees, positive north).
void EquatorialToHorizontal(MoonCoordinates& record, double dayNumber, long double longitudeWest, long double latitude);

// The Moon's elevation (geocentric altitude less 0.9°) and azimuth (bearing from north through east,
// in (0, 360]; due north is 360) for an observer at longitudeWest (degrees, positive west) and latitude
// (degrees, positive north) at the given day number (UTC).
void MoonHorizontalPosition(double dayNumber, long double longitudeWest, long double latitude, long double& elevation,
                            long double& azimuth);

// --- Stages of the computation, for callers that need the intermediate values. ---

// Mean elements of the lunar theory at a day number, degrees, not reduced to one turn; E dimensionless.
struct LunarElements {
    long double meanElongation;      // D
    long double sunMeanAnomaly;      // M
    long double moonMeanAnomaly;     // M'
    long double argumentOfLatitude;  // F
    long double meanLongitude;       // L'
    long double a1, a2, a3;          // arguments of the Venus, Jupiter and Earth-flattening terms
    long double eccentricityFactor;  // E
};
LunarElements MeanLunarElements(double dayNumber);

// The three sums of the periodic terms with their additive terms: Σl and Σb in 1e-6 degree, Σr in 1e-3 km.
struct LunarTermSums {
    long double longitude;  // Σl
    long double latitude;   // Σb
    long double distance;   // Σr
};
LunarTermSums LunarPeriodicSums(const LunarElements& elements);

// The entry's final step: elevation = h − 0.9; azimuth = A + 180, less 360 when above 360 (so A = 180,
// due north, gives 360).
void ReportedPosition(const MoonCoordinates& record, long double& elevation, long double& azimuth);

}  // namespace moon
