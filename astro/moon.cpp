#include "moon.h"

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>

#include "astro_math.h"
#include "moon_terms.h"

// How a position is evaluated. The formulas are those of the lunar theory term for term; the work is arranged
// so that a position costs a microsecond or two rather than tens:
//  - every angle is first reduced to one turn in extended precision (the unreduced elements and the sidereal
//    angle reach 1e5 to 1e7 degrees, where double precision would lose more than 1e-10 degree), and only
//    the reduced angle's sine and cosine are taken in double precision;
//  - the sines and cosines of the 211 combined arguments of the series come from those of the fundamental
//    arguments by angle addition (products of unit complex numbers), not from one sine call each;
//  - the nutation is worked out once per position and serves both the apparent place and the sidereal time.
// The results stay within about 1e-12 degree of a term-by-term extended-precision evaluation.
namespace moon {

namespace {

namespace am = astro_math::unchecked;
using astro_math::ClearFaults;
using astro_math::Fence;
using astro_math::ThrowOnFault;

// Whole days from 1899-12-30 to a Gregorian calendar date: the calendar encoding of day numbers.
constexpr long DaysSinceDayZero(int year, int month, int day) {
    constexpr int kMonthStarts[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const long previous = year - 1;
    const long dayOfYear = kMonthStarts[month - 1] + (leap && month > 2 ? 1 : 0) + day;
    // 693594 is the count of days from 0001-01-01 (day 1) to 1899-12-30.
    return previous * 365 + previous / 4 - previous / 100 + previous / 400 + dayOfYear - 693594;
}
static_assert(DaysSinceDayZero(1899, 12, 30) == 0);
static_assert(DaysSinceDayZero(2000, 1, 1) == 36526);

constexpr long double kJ2000 = 2451545.0L;
constexpr long double kOneOverJulianCentury = 1.0L / 36525;
constexpr long double kOneOver3600 = 1.0L / 3600;

// Julian centuries from J2000.0.
long double Centuries(double dayNumber) {
    return (DayNumberToJd(dayNumber) - kJ2000) * kOneOverJulianCentury;
}

// A long double narrowed to double. A value beyond the double range would make the conversion undefined;
// it becomes the overflow the processor reports for it (only absurd day numbers get there).
double Narrow(long double x) {
    if (std::fabs(x) > std::numeric_limits<double>::max()) {
        std::feraiseexcept(FE_OVERFLOW);
        return x > 0 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
    }
    return static_cast<double>(x);
}

// cos θ + i sin θ: multiplying two adds their angles, which is how the sines and cosines of the many
// combined arguments are formed from those of a few fundamental ones.
struct UnitTurn {
    double c, s;
};

constexpr UnitTurn operator*(UnitTurn a, UnitTurn b) {
    return {a.c * b.c - a.s * b.s, a.c * b.s + a.s * b.c};
}

// The angle itself, reduced to one turn before the sine and cosine as the degree helpers do.
UnitTurn TurnOf(long double degrees) {
    const double radians = Narrow(am::DegToRad(am::NormalizeDegrees(degrees)));
    return {std::cos(radians), std::sin(radians)};
}

// The multiples kθ of one angle for k = -N..N.
template <int N>
class AngleMultiples {
public:
    explicit AngleMultiples(long double degrees) {
        const UnitTurn one = TurnOf(degrees);
        turns_[N] = {1.0, 0.0};
        for (int k = 1; k <= N; ++k) {
            turns_[N + k] = turns_[N + k - 1] * one;
            turns_[N - k] = {turns_[N + k].c, -turns_[N + k].s};
        }
    }
    UnitTurn operator[](int k) const { return turns_[static_cast<std::size_t>(k + N)]; }

private:
    std::array<UnitTurn, 2 * N + 1> turns_;
};

// The multiples reached by the tables; checked here so that no row can index past them.
constexpr int kMaxD = 4, kMaxM = 2, kMaxMPrime = 4, kMaxF = 3, kMaxNutation = 2;

template <typename Row>
constexpr bool WithinMultiples(const Row& row, int minD, int maxD, int maxM, int maxMPrime, int maxF) {
    auto within = [](int k, int low, int high) { return low <= k && k <= high; };
    return within(row.d, minD, maxD) && within(row.m, -maxM, maxM) &&
           within(row.mPrime, -maxMPrime, maxMPrime) && within(row.f, -maxF, maxF);
}

constexpr bool TablesWithinMultiples() {
    for (const auto& row : kLongitudeDistanceTerms)
        if (!WithinMultiples(row, 0, kMaxD, kMaxM, kMaxMPrime, kMaxF)) return false;
    for (const auto& row : kLatitudeTerms)
        if (!WithinMultiples(row, 0, kMaxD, kMaxM, kMaxMPrime, kMaxF)) return false;
    for (const auto& row : kNutationTerms) {
        if (!WithinMultiples(row, -kMaxNutation, kMaxNutation, kMaxNutation, kMaxNutation, kMaxNutation))
            return false;
        if (row.omega < -kMaxNutation || row.omega > kMaxNutation) return false;
    }
    return true;
}
static_assert(TablesWithinMultiples());

// A lunar term's argument D·d + M·m + M'·m' + F·f is split into two partial sums, D·d + M·m (d ≥ 0) and
// M'·m' + F·f, whose sines and cosines are tabulated once per position; each term is then one product.
constexpr int kSunSpan = 2 * kMaxM + 1;
constexpr int kLatitudeSpan = 2 * kMaxF + 1;
constexpr int kElongationAnomalyCount = (kMaxD + 1) * kSunSpan;
constexpr int kMoonArgumentCount = (2 * kMaxMPrime + 1) * kLatitudeSpan;

constexpr std::uint8_t ElongationAnomalyIndex(int d, int m) {
    return static_cast<std::uint8_t>(d * kSunSpan + m + kMaxM);
}
constexpr std::uint8_t MoonArgumentIndex(int mPrime, int f) {
    return static_cast<std::uint8_t>((mPrime + kMaxMPrime) * kLatitudeSpan + f + kMaxF);
}

// A table row ready for the sums: its two partial arguments and its coefficients.
struct PreparedTerm {
    std::uint8_t elongationAnomaly, moonArgument;
    double sinCoefficient, cosCoefficient;
};

constexpr std::array<PreparedTerm, std::size(kLongitudeDistanceTerms)> PrepareLongitudeDistance() {
    std::array<PreparedTerm, std::size(kLongitudeDistanceTerms)> prepared{};
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        const LongitudeDistanceTerm& row = kLongitudeDistanceTerms[i];
        prepared[i] = {ElongationAnomalyIndex(row.d, row.m), MoonArgumentIndex(row.mPrime, row.f),
                       static_cast<double>(row.sigmaL), static_cast<double>(row.sigmaR)};
    }
    return prepared;
}

constexpr std::array<PreparedTerm, std::size(kLatitudeTerms)> PrepareLatitude() {
    std::array<PreparedTerm, std::size(kLatitudeTerms)> prepared{};
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        const LatitudeTerm& row = kLatitudeTerms[i];
        prepared[i] = {ElongationAnomalyIndex(row.d, row.m), MoonArgumentIndex(row.mPrime, row.f),
                       static_cast<double>(row.sigmaB), 0.0};
    }
    return prepared;
}

constexpr auto kPreparedLongitudeDistance = PrepareLongitudeDistance();
constexpr auto kPreparedLatitude = PrepareLatitude();

void NutationUnchecked(double dayNumber, long double& deltaPsi, long double& epsilon) {
    const long double t = Centuries(dayNumber);
    const AngleMultiples<kMaxNutation> d(kNutationElongation(t));
    const AngleMultiples<kMaxNutation> m(kNutationSunAnomaly(t));
    const AngleMultiples<kMaxNutation> mPrime(kNutationMoonAnomaly(t));
    const AngleMultiples<kMaxNutation> f(kNutationLatitude(t));
    const AngleMultiples<kMaxNutation> omega(kNutationNode(t));
    const double tDouble = Narrow(t);
    double psiSum = 0.0, epsilonSum = 0.0;
    for (const NutationTerm& row : kNutationTerms) {
        const UnitTurn z = d[row.d] * m[row.m] * mPrime[row.mPrime] * f[row.f] * omega[row.omega];
        psiSum += z.s * (row.psiConstant + 0.1 * row.psiRate * tDouble);
        epsilonSum += z.c * (row.epsilonConstant + 0.1 * row.epsilonRate * tDouble);
    }
    deltaPsi = psiSum * 0.0001L * kOneOver3600;
    epsilon = kMeanObliquity(t) * kOneOver3600 + epsilonSum * 0.0001L * kOneOver3600;
}

// The nutation at one instant, with the sine and cosine of the obliquity that every user of it needs.
struct NutationValues {
    long double deltaPsi, epsilon;
    UnitTurn obliquity;
};

NutationValues NutationAt(double dayNumber) {
    NutationValues n{};
    NutationUnchecked(dayNumber, n.deltaPsi, n.epsilon);
    n.obliquity = TurnOf(n.epsilon);
    return n;
}

// An arcsine whose argument is by construction the sine of an angle: rounding can carry it a few units
// of the last place beyond ±1 (the Moon at the zenith), which must not read as an invalid operation.
long double ArcSinOfSineDeg(long double x) {
    return am::ArcSinDeg(std::clamp(x, -1.0L, 1.0L));
}

void EclipticToEquatorialUnchecked(MoonCoordinates& record, const NutationValues& nutation) {
    const long double lambda = am::NormalizeDegrees(record.longitude + nutation.deltaPsi);
    const UnitTurn e = nutation.obliquity, l = TurnOf(lambda), b = TurnOf(record.latitude);
    record.longitude = lambda;
    record.rightAscension = am::ArcTan2Deg(l.s * e.c - (b.s / b.c) * e.s, l.c);
    record.declination = ArcSinOfSineDeg(b.s * e.c + b.c * e.s * l.s);
}

LunarElements MeanElementsUnchecked(double dayNumber) {
    const long double t = Centuries(dayNumber);
    return {kMeanElongation(t),     kSunMeanAnomaly(t),     kMoonMeanAnomaly(t),
            kArgumentOfLatitude(t), kMoonMeanLongitude(t),  kVenusArgument(t),
            kJupiterArgument(t),    kFlatteningArgument(t), kEccentricityFactor(t)};
}

LunarTermSums PeriodicSumsUnchecked(const LunarElements& elements) {
    const AngleMultiples<kMaxD> d(elements.meanElongation);
    const AngleMultiples<kMaxM> m(elements.sunMeanAnomaly);
    const AngleMultiples<kMaxMPrime> mPrime(elements.moonMeanAnomaly);
    const AngleMultiples<kMaxF> f(elements.argumentOfLatitude);

    // Terms with the Sun's anomaly M depend on the eccentricity of the Earth's orbit: weight E per unit of
    // |M|, carried by the tabulated D·d + M·m partial arguments.
    const double e = Narrow(elements.eccentricityFactor);
    const std::array<double, kMaxM + 1> weight{1.0, e, e * e};
    std::array<UnitTurn, kElongationAnomalyCount> elongationAnomaly;
    for (int dd = 0; dd <= kMaxD; ++dd) {
        for (int mm = -kMaxM; mm <= kMaxM; ++mm) {
            const UnitTurn z = d[dd] * m[mm];
            const double w = weight[static_cast<std::size_t>(std::abs(mm))];
            elongationAnomaly[ElongationAnomalyIndex(dd, mm)] = {z.c * w, z.s * w};
        }
    }
    std::array<UnitTurn, kMoonArgumentCount> moonArgument;
    for (int mp = -kMaxMPrime; mp <= kMaxMPrime; ++mp) {
        for (int ff = -kMaxF; ff <= kMaxF; ++ff) moonArgument[MoonArgumentIndex(mp, ff)] = mPrime[mp] * f[ff];
    }

    double sumL = 0.0, sumR = 0.0, sumB = 0.0;
    for (const PreparedTerm& term : kPreparedLongitudeDistance) {
        const UnitTurn z = elongationAnomaly[term.elongationAnomaly] * moonArgument[term.moonArgument];
        sumL += term.sinCoefficient * z.s;
        sumR += term.cosCoefficient * z.c;
    }
    for (const PreparedTerm& term : kPreparedLatitude) {
        const UnitTurn z = elongationAnomaly[term.elongationAnomaly] * moonArgument[term.moonArgument];
        sumB += term.sinCoefficient * z.s;
    }

    // Additive terms: Venus (A1), Jupiter (A2), the flattening of the Earth (L', A3).
    const UnitTurn meanLongitude = TurnOf(elements.meanLongitude);
    const UnitTurn a1 = TurnOf(elements.a1);
    sumL += 3958 * a1.s + 1962 * (meanLongitude * f[-1]).s + 318 * TurnOf(elements.a2).s;
    sumB += -2235 * meanLongitude.s + 382 * TurnOf(elements.a3).s + 175 * (a1 * f[-1]).s +
            175 * (a1 * f[1]).s + 127 * (meanLongitude * mPrime[-1]).s - 115 * (meanLongitude * mPrime[1]).s;
    return {sumL, sumB, sumR};
}

// λ, β and distance from the lunar theory; α, δ and the apparent λ follow from EclipticToEquatorialUnchecked.
void GeometricPositionUnchecked(MoonCoordinates& record, double dayNumber) {
    const LunarElements elements = MeanElementsUnchecked(dayNumber);
    const LunarTermSums sums = PeriodicSumsUnchecked(elements);
    record.longitude = elements.meanLongitude + sums.longitude * 0.000001L;
    record.latitude = sums.latitude * 0.000001L;
    record.distance = 385000.56L + sums.distance * 0.001L;
}

long double ApparentSiderealTimeUnchecked(double dayNumber, const NutationValues& nutation) {
    const long double daysFromJ2000 = DayNumberToJd(dayNumber) - kJ2000;
    const long double t = daysFromJ2000 * kOneOverJulianCentury;
    // Mean sidereal time (IAU 1982) plus the equation of the equinoxes Δψ cos ε.
    const long double theta = 280.46061837L + 360.98564736629L * daysFromJ2000 +
                              t * t * (0.000387933L - t * (1.0L / 38710000)) +
                              nutation.deltaPsi * nutation.obliquity.c;
    return am::NormalizeDegrees(theta);
}

void EquatorialToHorizontalUnchecked(MoonCoordinates& record, long double siderealTime,
                                     long double longitudeWest, long double latitude) {
    const long double hourAngle = am::NormalizeDegrees(siderealTime - record.rightAscension - longitudeWest);
    const UnitTurn h = TurnOf(hourAngle), phi = TurnOf(latitude), delta = TurnOf(record.declination);
    // The products are formed in extended precision: near the zenith both arguments of the arctangent are
    // small differences, and the altitude's sine is close to 1.
    const long double cosH = h.c, sinPhi = phi.s, cosPhi = phi.c, sinDelta = delta.s, cosDelta = delta.c;
    record.azimuth = am::ArcTan2Deg(h.s, cosH * sinPhi - (sinDelta / cosDelta) * cosPhi);
    record.altitude = ArcSinOfSineDeg(sinPhi * sinDelta + cosPhi * cosDelta * cosH);
}

void ReportedPositionUnchecked(const MoonCoordinates& record, long double& elevation, long double& azimuth) {
    // A fixed allowance in place of refraction and parallax.
    elevation = record.altitude - 0.9L;
    azimuth = record.azimuth + 180.0L;
    if (azimuth > 360.0L) azimuth -= 360.0L;
}

}  // namespace

constinit const long double DayZeroJd = 2451544.5L - DaysSinceDayZero(2000, 1, 1);

long double DayNumberToJd(double dayNumber) {
    return dayNumber + DayZeroJd;
}

void Nutation(double dayNumber, long double& deltaPsi, long double& epsilon) {
    ClearFaults();
    Fence(dayNumber);
    long double psi = 0, eps = 0;
    NutationUnchecked(dayNumber, psi, eps);
    ThrowOnFault(psi, eps);
    deltaPsi = psi;
    epsilon = eps;
}

void EclipticToEquatorial(MoonCoordinates& record, double dayNumber) {
    ClearFaults();
    MoonCoordinates work{};
    work.longitude = record.longitude;
    work.latitude = record.latitude;
    Fence(work, dayNumber);
    EclipticToEquatorialUnchecked(work, NutationAt(dayNumber));
    ThrowOnFault(work.longitude, work.rightAscension, work.declination);
    record.longitude = work.longitude;
    record.rightAscension = work.rightAscension;
    record.declination = work.declination;
}

void MoonEclipticPosition(MoonCoordinates& record, double dayNumber) {
    ClearFaults();
    Fence(dayNumber);
    MoonCoordinates work{};
    GeometricPositionUnchecked(work, dayNumber);
    EclipticToEquatorialUnchecked(work, NutationAt(dayNumber));
    ThrowOnFault(work.longitude, work.latitude, work.distance, work.rightAscension, work.declination);
    record.longitude = work.longitude;
    record.latitude = work.latitude;
    record.distance = work.distance;
    record.rightAscension = work.rightAscension;
    record.declination = work.declination;
}

long double ApparentSiderealTime(double dayNumber) {
    ClearFaults();
    Fence(dayNumber);
    long double theta = ApparentSiderealTimeUnchecked(dayNumber, NutationAt(dayNumber));
    ThrowOnFault(theta);
    return theta;
}

void EquatorialToHorizontal(MoonCoordinates& record, double dayNumber, long double longitudeWest,
                            long double latitude) {
    ClearFaults();
    MoonCoordinates work{};
    work.rightAscension = record.rightAscension;
    work.declination = record.declination;
    Fence(work, dayNumber, longitudeWest, latitude);
    EquatorialToHorizontalUnchecked(work, ApparentSiderealTimeUnchecked(dayNumber, NutationAt(dayNumber)),
                                    longitudeWest, latitude);
    ThrowOnFault(work.altitude, work.azimuth);
    record.altitude = work.altitude;
    record.azimuth = work.azimuth;
}

void MoonHorizontalPosition(double dayNumber, long double longitudeWest, long double latitude,
                            long double& elevation, long double& azimuth) {
    ClearFaults();
    Fence(dayNumber, longitudeWest, latitude);
    // The nutation enters both the apparent place and the sidereal time; it is worked out once for the two.
    const NutationValues nutation = NutationAt(dayNumber);
    MoonCoordinates record{};
    GeometricPositionUnchecked(record, dayNumber);
    EclipticToEquatorialUnchecked(record, nutation);
    EquatorialToHorizontalUnchecked(record, ApparentSiderealTimeUnchecked(dayNumber, nutation), longitudeWest,
                                    latitude);
    long double el = 0, az = 0;
    ReportedPositionUnchecked(record, el, az);
    ThrowOnFault(el, az);
    elevation = el;
    azimuth = az;
}

LunarElements MeanLunarElements(double dayNumber) {
    ClearFaults();
    Fence(dayNumber);
    LunarElements e = MeanElementsUnchecked(dayNumber);
    ThrowOnFault(e.meanElongation, e.sunMeanAnomaly, e.moonMeanAnomaly, e.argumentOfLatitude, e.meanLongitude,
                 e.a1, e.a2, e.a3, e.eccentricityFactor);
    return e;
}

LunarTermSums LunarPeriodicSums(const LunarElements& elements) {
    ClearFaults();
    LunarElements work = elements;
    Fence(work);
    LunarTermSums sums = PeriodicSumsUnchecked(work);
    ThrowOnFault(sums.longitude, sums.latitude, sums.distance);
    return sums;
}

void ReportedPosition(const MoonCoordinates& record, long double& elevation, long double& azimuth) {
    ClearFaults();
    MoonCoordinates work{};
    work.altitude = record.altitude;
    work.azimuth = record.azimuth;
    Fence(work);
    long double el = 0, az = 0;
    ReportedPositionUnchecked(work, el, az);
    ThrowOnFault(el, az);
    elevation = el;
    azimuth = az;
}

}  // namespace moon
