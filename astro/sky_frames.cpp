// SPDX-License-Identifier: GPL-3.0-or-later
#include "sky_frames.h"

#include <cmath>

#include "astro_math.h"
#include "astro_time.h"
#include "sky_frames_terms.h"

// The sines and cosines of the nutation's 31 arguments come from those of its five fundamental arguments by
// angle addition; every angle is reduced to one turn in extended precision before its sine and cosine are
// taken in double precision (see angle_series.h).
namespace sky_frames {

namespace {

namespace am = astro_math::unchecked;
using angle_series::AngleMultiples;
using angle_series::TurnOf;
using angle_series::UnitTurn;

constexpr long double kOneOver3600 = 1.0L / 3600;

// The multiples of the fundamental arguments reached by the table; checked so that no row indexes past them.
constexpr int kMaxMultiple = 2;

constexpr bool TableWithinMultiples() {
    auto within = [](int k) { return -kMaxMultiple <= k && k <= kMaxMultiple; };
    for (const NutationTerm& row : kNutationTerms) {
        if (!within(row.d) || !within(row.m) || !within(row.mPrime) || !within(row.f) || !within(row.omega))
            return false;
    }
    return true;
}
static_assert(TableWithinMultiples());

}  // namespace

NutationValues NutationAt(double dayNumber) {
    const long double t = astro_time::Centuries(dayNumber);
    const AngleMultiples<kMaxMultiple> d(kNutationElongation(t));
    const AngleMultiples<kMaxMultiple> m(kNutationSunAnomaly(t));
    const AngleMultiples<kMaxMultiple> mPrime(kNutationMoonAnomaly(t));
    const AngleMultiples<kMaxMultiple> f(kNutationLatitude(t));
    const AngleMultiples<kMaxMultiple> omega(kNutationNode(t));
    const double tDouble = angle_series::Narrow(t);
    double psiSum = 0.0, epsilonSum = 0.0;
    for (const NutationTerm& row : kNutationTerms) {
        const UnitTurn z = d[row.d] * m[row.m] * mPrime[row.mPrime] * f[row.f] * omega[row.omega];
        psiSum += z.s * (row.psiConstant + 0.1 * row.psiRate * tDouble);
        epsilonSum += z.c * (row.epsilonConstant + 0.1 * row.epsilonRate * tDouble);
    }
    NutationValues n{};
    n.deltaPsi = psiSum * 0.0001L * kOneOver3600;
    n.epsilon = kMeanObliquity(t) * kOneOver3600 + epsilonSum * 0.0001L * kOneOver3600;
    n.obliquity = TurnOf(n.epsilon);
    return n;
}

EquatorialPosition EclipticToEquatorial(long double longitude, long double latitude, const NutationValues& nutation) {
    const long double lambda = am::NormalizeDegrees(longitude + nutation.deltaPsi);
    const UnitTurn e = nutation.obliquity, l = TurnOf(lambda), b = TurnOf(latitude);
    return {lambda, am::ArcTan2Deg(l.s * e.c - (b.s / b.c) * e.s, l.c),
            angle_series::ArcSinOfSineDeg(b.s * e.c + b.c * e.s * l.s)};
}

long double ApparentSiderealTime(double dayNumber, const NutationValues& nutation) {
    const long double daysFromJ2000 = astro_time::DayNumberToJd(dayNumber) - astro_time::kJ2000;
    const long double t = daysFromJ2000 * (1.0L / 36525);
    const long double theta = 280.46061837L + 360.98564736629L * daysFromJ2000 +
                              t * t * (0.000387933L - t * (1.0L / 38710000)) + nutation.deltaPsi * nutation.obliquity.c;
    return am::NormalizeDegrees(theta);
}

HorizontalPosition EquatorialToHorizontal(long double rightAscension, long double declination, long double siderealTime,
                                          long double longitudeWest, long double latitude) {
    const long double hourAngle = am::NormalizeDegrees(siderealTime - rightAscension - longitudeWest);
    const UnitTurn h = TurnOf(hourAngle), phi = TurnOf(latitude), delta = TurnOf(declination);
    // The products are formed in extended precision: near the zenith both arguments of the arctangent are
    // small differences, and the altitude's sine is close to 1.
    const long double cosH = h.c, sinPhi = phi.s, cosPhi = phi.c, sinDelta = delta.s, cosDelta = delta.c;
    HorizontalPosition horizontal{};
    horizontal.azimuth = am::ArcTan2Deg(h.s, cosH * sinPhi - (sinDelta / cosDelta) * cosPhi);
    horizontal.altitude = angle_series::ArcSinOfSineDeg(sinPhi * sinDelta + cosPhi * cosDelta * cosH);
    return horizontal;
}

GeocentricObserver ObserverOnEllipsoid(long double latitude, long double heightMetres) {
    // WGS-84: a = 6378137 m, f = 1/298.257223563; b/a = 1 − f. u is the reduced latitude.
    constexpr long double kPolarOverEquatorial = 1.0L - 1.0L / 298.257223563L;
    const long double heightInRadii = heightMetres / (kEquatorialRadiusKm * 1000.0L);
    const UnitTurn phi = TurnOf(latitude);
    const long double u = std::atan2(kPolarOverEquatorial * phi.s, static_cast<long double>(phi.c));
    return {kPolarOverEquatorial * std::sin(u) + heightInRadii * phi.s, std::cos(u) + heightInRadii * phi.c};
}

TopocentricPlace TopocentricFromGeocentric(long double rightAscension, long double declination, long double distanceKm,
                                           long double siderealTime, long double longitudeWest,
                                           const GeocentricObserver& observer) {
    // In the frame of the observer's meridian (x towards hour angle 0 on the equator, y towards hour angle
    // 90°, i.e. west, z towards the north pole) the observer sits at (ρ cos φ′, 0, ρ sin φ′) Earth radii;
    // the body's topocentric vector is its geocentric one less that.
    const long double hourAngle = siderealTime - longitudeWest - rightAscension;
    const UnitTurn h = TurnOf(hourAngle), delta = TurnOf(declination);
    const long double distance = distanceKm / kEquatorialRadiusKm;
    const long double x = distance * delta.c * h.c - observer.rhoCosPhi;
    const long double y = distance * delta.c * h.s;
    const long double z = distance * delta.s - observer.rhoSinPhi;
    const long double equatorial = std::hypot(x, y);
    // The hour angle moves by the parallax; the right ascension by the opposite amount.
    const long double parallaxInHourAngle = am::RadToDeg(std::atan2(y, x)) - am::NormalizeDegrees(hourAngle);
    return {rightAscension - std::remainder(parallaxInHourAngle, 360.0L), am::RadToDeg(std::atan2(z, equatorial)),
            std::hypot(equatorial, z) * kEquatorialRadiusKm};
}

long double Refraction(long double altitude, long double temperatureCelsius, long double pressureHpa) {
    // The formula holds down to a degree under the horizon; from there the correction fades linearly to
    // nothing at -2°, so a body well below the horizon is not lifted at all and the value never jumps.
    constexpr long double kFormulaFloor = -1.0L;
    constexpr long double kTaperEnd = -2.0L;
    if (altitude <= kTaperEnd) return 0.0L;
    const long double h = altitude < kFormulaFloor ? kFormulaFloor : altitude;
    // The small constant makes the refraction vanish at the zenith, where the formula alone gives -0.0019′.
    const long double arcMinutes = 1.02L / am::TanDeg(h + 10.3L / (h + 5.11L)) + 0.0019279L;
    const long double taper = altitude < kFormulaFloor ? (altitude - kTaperEnd) / (kFormulaFloor - kTaperEnd) : 1.0L;
    return taper * arcMinutes / 60.0L * (pressureHpa / 1010.0L) * (283.0L / (273.0L + temperatureCelsius));
}

}  // namespace sky_frames
