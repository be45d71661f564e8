// SPDX-License-Identifier: GPL-3.0-or-later
#include "moon_reference.h"

#include "astro_math.h"
#include "moon_terms.h"
#include "sky_frames_terms.h"

namespace moon_reference {

namespace {

using astro_math::ArcSinDeg;
using astro_math::ArcTan2Deg;
using astro_math::CosDeg;
using astro_math::NormalizeDegrees;
using astro_math::SinDeg;
using astro_math::TanDeg;

long double Centuries(double dayNumber) {
    return (moon::DayNumberToJd(dayNumber) - 2451545.0L) * (1.0L / 36525);
}

long double Weight(int m, long double e) {
    if (m == 1 || m == -1) return e;
    if (m == 2 || m == -2) return e * e;
    return 1.0L;
}

}  // namespace

void Nutation(double dayNumber, long double& deltaPsi, long double& epsilon) {
    const long double t = Centuries(dayNumber);
    const long double omega = NormalizeDegrees(sky_frames::kNutationNode(t));
    const long double d = NormalizeDegrees(sky_frames::kNutationElongation(t));
    const long double m = NormalizeDegrees(sky_frames::kNutationSunAnomaly(t));
    const long double mPrime = NormalizeDegrees(sky_frames::kNutationMoonAnomaly(t));
    const long double f = NormalizeDegrees(sky_frames::kNutationLatitude(t));
    long double psiSum = 0, epsilonSum = 0;
    for (const sky_frames::NutationTerm& row : sky_frames::kNutationTerms) {
        const long double argument = d * row.d + m * row.m + mPrime * row.mPrime + f * row.f + omega * row.omega;
        psiSum += SinDeg(argument) * (row.psiConstant + 0.1L * row.psiRate * t);
        epsilonSum += CosDeg(argument) * (row.epsilonConstant + 0.1L * row.epsilonRate * t);
    }
    deltaPsi = psiSum * 0.0001L * (1.0L / 3600);
    epsilon = sky_frames::kMeanObliquity(t) * (1.0L / 3600) + epsilonSum * 0.0001L * (1.0L / 3600);
}

moon::LunarTermSums PeriodicSums(const moon::LunarElements& el) {
    const long double d = el.meanElongation, m = el.sunMeanAnomaly, mPrime = el.moonMeanAnomaly;
    const long double f = el.argumentOfLatitude, lPrime = el.meanLongitude, e = el.eccentricityFactor;
    moon::LunarTermSums sums{0, 0, 0};
    for (const moon::LongitudeDistanceTerm& row : moon::kLongitudeDistanceTerms) {
        const long double argument = d * row.d + m * row.m + mPrime * row.mPrime + f * row.f;
        sums.longitude += row.sigmaL * Weight(row.m, e) * SinDeg(argument);
        sums.distance += row.sigmaR * Weight(row.m, e) * CosDeg(argument);
    }
    for (const moon::LatitudeTerm& row : moon::kLatitudeTerms) {
        const long double argument = d * row.d + m * row.m + mPrime * row.mPrime + f * row.f;
        sums.latitude += row.sigmaB * Weight(row.m, e) * SinDeg(argument);
    }
    sums.longitude += 3958 * SinDeg(el.a1) + 1962 * SinDeg(lPrime - f) + 318 * SinDeg(el.a2);
    sums.latitude += -2235 * SinDeg(lPrime) + 382 * SinDeg(el.a3) + 175 * SinDeg(el.a1 - f) + 175 * SinDeg(el.a1 + f) +
                     127 * SinDeg(lPrime - mPrime) - 115 * SinDeg(lPrime + mPrime);
    return sums;
}

moon::MoonCoordinates GeometricPosition(double dayNumber) {
    const moon::LunarElements elements = moon::MeanLunarElements(dayNumber);
    const moon::LunarTermSums sums = PeriodicSums(elements);
    moon::MoonCoordinates r{};
    r.longitude = elements.meanLongitude + sums.longitude * 0.000001L;
    r.latitude = sums.latitude * 0.000001L;
    r.distance = 385000.56L + sums.distance * 0.001L;
    return r;
}

long double ApparentSiderealTime(double dayNumber) {
    const long double jd = moon::DayNumberToJd(dayNumber);
    const long double t = (jd - 2451545.0L) * (1.0L / 36525);
    long double deltaPsi = 0, epsilon = 0;
    Nutation(dayNumber, deltaPsi, epsilon);
    return NormalizeDegrees(280.46061837L + 360.98564736629L * (jd - 2451545.0L) +
                            t * t * (0.000387933L - t * (1.0L / 38710000)) + deltaPsi * CosDeg(epsilon));
}

moon::MoonCoordinates FullPosition(double dayNumber, long double longitudeWest, long double latitude) {
    moon::MoonCoordinates r = GeometricPosition(dayNumber);
    long double deltaPsi = 0, epsilon = 0;
    Nutation(dayNumber, deltaPsi, epsilon);
    r.longitude = NormalizeDegrees(r.longitude + deltaPsi);
    r.rightAscension =
        ArcTan2Deg(SinDeg(r.longitude) * CosDeg(epsilon) - TanDeg(r.latitude) * SinDeg(epsilon), CosDeg(r.longitude));
    r.declination =
        ArcSinDeg(SinDeg(r.latitude) * CosDeg(epsilon) + CosDeg(r.latitude) * SinDeg(epsilon) * SinDeg(r.longitude));
    const long double h = NormalizeDegrees(ApparentSiderealTime(dayNumber) - r.rightAscension - longitudeWest);
    r.azimuth = ArcTan2Deg(SinDeg(h), CosDeg(h) * SinDeg(latitude) - TanDeg(r.declination) * CosDeg(latitude));
    r.altitude =
        ArcSinDeg(SinDeg(latitude) * SinDeg(r.declination) + CosDeg(latitude) * CosDeg(r.declination) * CosDeg(h));
    return r;
}

}  // namespace moon_reference
