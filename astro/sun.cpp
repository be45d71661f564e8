// SPDX-License-Identifier: GPL-3.0-or-later
#include "sun.h"

#include <iterator>

#include "angle_series.h"
#include "astro_math.h"
#include "astro_time.h"

namespace sun {

namespace {

namespace am = astro_math::unchecked;
using angle_series::Polynomial;
using angle_series::TurnOf;
using angle_series::UnitTurn;

// Mean elements of the Sun's apparent orbit (Meeus 25.2–25.4): L0 and M in degrees, e dimensionless.
constexpr Polynomial kMeanLongitude{280.46646L, 36000.76983L, 0.0003032L};
constexpr Polynomial kMeanAnomaly{357.52911L, 35999.05029L, -0.0001537L};
constexpr Polynomial kEccentricity{0.016708634L, -0.000042037L, -0.0000001267L};
// Coefficients of sin M, sin 2M and sin 3M in the equation of the centre, degrees.
constexpr Polynomial kCentreM{1.914602L, -0.004817L, -0.000014L};
constexpr Polynomial kCentre2M{0.019993L, -0.000101L};
constexpr long double kCentre3M = 0.000289L;

// The largest perturbations of the Earth's orbit, in the form of Meeus, Astronomical Formulae for
// Calculators, chapter 18 (T counted from 1900.0 there): by Venus (A, B), Jupiter (C) and the Moon (D),
// and a long-period term (E); H enters the distance only. They halve the theory's error against VSOP87.
struct Perturbation {
    Polynomial argument;            // degrees, in centuries from 1900.0
    long double longitude, radius;  // coefficients of the longitude (degrees) and distance (AU) terms
    bool longitudeByCosine, radiusByCosine;
};
// clang-format off
constexpr Perturbation kPerturbations[] = {
    {{153.23L, 22518.7541L},             0.00134L, 0.00000543L, true,  false},  // A
    {{216.57L, 45037.5082L},             0.00154L, 0.00001575L, true,  false},  // B
    {{312.69L, 32964.3577L},             0.00200L, 0.00001627L, true,  false},  // C
    {{350.74L, 445267.1142L, -0.00144L}, 0.00179L, 0.00003076L, false, true},   // D
    {{231.19L, 20.20L},                  0.00178L, 0.0L,        false, false},  // E
    {{353.40L, 65928.7155L},             0.0L,     0.00000927L, false, false},  // H
};
// clang-format on
static_assert(std::size(kPerturbations) == 6, "rows of the published corrections");

constexpr long double kAstronomicalUnitKm = 149597870.7L;
constexpr long double kAberrationDegrees = 20.4898L / 3600;  // constant of aberration × 1 AU

SunGeometric GeometricUnchecked(double dynamicalDayNumber) {
    const long double t = astro_time::Centuries(dynamicalDayNumber);
    const long double meanAnomaly = kMeanAnomaly(t);
    const UnitTurn m = TurnOf(meanAnomaly);
    const UnitTurn m2 = m * m;
    const UnitTurn m3 = m2 * m;
    const long double centre = kCentreM(t) * m.s + kCentre2M(t) * m2.s + kCentre3M * m3.s;
    const long double e = kEccentricity(t);
    const UnitTurn trueAnomaly = TurnOf(meanAnomaly + centre);
    long double longitude = kMeanLongitude(t) + centre;
    long double distance = 1.000001018L * (1 - e * e) / (1 + e * trueAnomaly.c);
    const long double t1900 = t + 1.0L;  // J2000.0 is exactly one Julian century after 1900.0
    for (const Perturbation& p : kPerturbations) {
        const UnitTurn argument = TurnOf(p.argument(t1900));
        longitude += p.longitude * (p.longitudeByCosine ? argument.c : argument.s);
        distance += p.radius * (p.radiusByCosine ? argument.c : argument.s);
    }
    return {am::NormalizeDegrees(longitude), distance};
}

}  // namespace

SunApparent SunApparentPositionUnchecked(double dynamicalDayNumber, const sky_frames::NutationValues& nutation) {
    const SunGeometric geometric = GeometricUnchecked(dynamicalDayNumber);
    const long double aberration = -kAberrationDegrees / geometric.distanceAu;
    return {sky_frames::EclipticToEquatorial(geometric.longitude + aberration, 0.0L, nutation),
            geometric.distanceAu * kAstronomicalUnitKm};
}

SunGeometric SunGeometricPosition(double dynamicalDayNumber) {
    astro_math::ClearFaults();
    astro_math::Fence(dynamicalDayNumber);
    const SunGeometric geometric = GeometricUnchecked(dynamicalDayNumber);
    astro_math::ThrowOnFault(geometric.longitude, geometric.distanceAu);
    return geometric;
}

SunApparent SunApparentPosition(double dynamicalDayNumber) {
    astro_math::ClearFaults();
    astro_math::Fence(dynamicalDayNumber);
    const SunApparent apparent =
        SunApparentPositionUnchecked(dynamicalDayNumber, sky_frames::NutationAt(dynamicalDayNumber));
    astro_math::ThrowOnFault(apparent.place.longitude, apparent.place.rightAscension, apparent.place.declination,
                             apparent.distanceKm);
    return apparent;
}

}  // namespace sun
