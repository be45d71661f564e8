#include "sky_frames.h"

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

EquatorialPosition EclipticToEquatorial(long double longitude, long double latitude,
                                        const NutationValues& nutation) {
    const long double lambda = am::NormalizeDegrees(longitude + nutation.deltaPsi);
    const UnitTurn e = nutation.obliquity, l = TurnOf(lambda), b = TurnOf(latitude);
    return {lambda, am::ArcTan2Deg(l.s * e.c - (b.s / b.c) * e.s, l.c),
            angle_series::ArcSinOfSineDeg(b.s * e.c + b.c * e.s * l.s)};
}

long double ApparentSiderealTime(double dayNumber, const NutationValues& nutation) {
    const long double daysFromJ2000 = astro_time::DayNumberToJd(dayNumber) - astro_time::kJ2000;
    const long double t = daysFromJ2000 * (1.0L / 36525);
    const long double theta = 280.46061837L + 360.98564736629L * daysFromJ2000 +
                              t * t * (0.000387933L - t * (1.0L / 38710000)) +
                              nutation.deltaPsi * nutation.obliquity.c;
    return am::NormalizeDegrees(theta);
}

HorizontalPosition EquatorialToHorizontal(long double rightAscension, long double declination,
                                          long double siderealTime, long double longitudeWest,
                                          long double latitude) {
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

}  // namespace sky_frames
