#include "moon.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "astro_math.h"
#include "moon_terms.h"

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
long double Centuries(double dayNumber) { return (DayNumberToJd(dayNumber) - kJ2000) * kOneOverJulianCentury; }

// cos θ + i sin θ: multiplying two adds their angles, which is how the sines and cosines of the many
// combined arguments are formed from those of a few fundamental ones.
struct UnitTurn {
    double c, s;
};

constexpr UnitTurn operator*(UnitTurn a, UnitTurn b) { return {a.c * b.c - a.s * b.s, a.c * b.s + a.s * b.c}; }

// The angle itself, reduced to one turn before the sine and cosine as the degree helpers do.
UnitTurn TurnOf(long double degrees) {
    const auto radians = static_cast<double>(am::DegToRad(am::NormalizeDegrees(degrees)));
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
constexpr bool WithinMultiples(const Row& row, int maxD, int maxM, int maxMPrime, int maxF) {
    auto within = [](int k, int limit) { return -limit <= k && k <= limit; };
    return within(row.d, maxD) && within(row.m, maxM) && within(row.mPrime, maxMPrime) && within(row.f, maxF);
}

constexpr bool TablesWithinMultiples() {
    for (const auto& row : kLongitudeDistanceTerms)
        if (!WithinMultiples(row, kMaxD, kMaxM, kMaxMPrime, kMaxF)) return false;
    for (const auto& row : kLatitudeTerms)
        if (!WithinMultiples(row, kMaxD, kMaxM, kMaxMPrime, kMaxF)) return false;
    for (const auto& row : kNutationTerms) {
        if (!WithinMultiples(row, kMaxNutation, kMaxNutation, kMaxNutation, kMaxNutation)) return false;
        if (row.omega < -kMaxNutation || row.omega > kMaxNutation) return false;
    }
    return true;
}
static_assert(TablesWithinMultiples());

void NutationUnchecked(double dayNumber, long double& deltaPsi, long double& epsilon) {
    const long double t = Centuries(dayNumber);
    const AngleMultiples<kMaxNutation> d(kNutationElongation(t));
    const AngleMultiples<kMaxNutation> m(kNutationSunAnomaly(t));
    const AngleMultiples<kMaxNutation> mPrime(kNutationMoonAnomaly(t));
    const AngleMultiples<kMaxNutation> f(kNutationLatitude(t));
    const AngleMultiples<kMaxNutation> omega(kNutationNode(t));
    const auto tDouble = static_cast<double>(t);
    double psiSum = 0.0, epsilonSum = 0.0;
    for (const NutationTerm& row : kNutationTerms) {
        const UnitTurn z = d[row.d] * m[row.m] * mPrime[row.mPrime] * f[row.f] * omega[row.omega];
        psiSum += z.s * (row.psiConstant + 0.1 * row.psiRate * tDouble);
        epsilonSum += z.c * (row.epsilonConstant + 0.1 * row.epsilonRate * tDouble);
    }
    deltaPsi = psiSum * 0.0001L * kOneOver3600;
    epsilon = kMeanObliquity(t) * kOneOver3600 + epsilonSum * 0.0001L * kOneOver3600;
}

// An arcsine whose argument is by construction the sine of an angle: rounding can carry it a few units
// of the last place beyond ±1 (the Moon at the zenith), which must not read as an invalid operation.
long double ArcSinOfSineDeg(long double x) { return am::ArcSinDeg(std::clamp(x, -1.0L, 1.0L)); }

void EclipticToEquatorialUnchecked(MoonCoordinates& record, double dayNumber) {
    long double deltaPsi = 0, epsilon = 0;
    NutationUnchecked(dayNumber, deltaPsi, epsilon);
    const long double lambda = am::NormalizeDegrees(record.longitude + deltaPsi);
    const long double beta = record.latitude;
    const long double sinEpsilon = am::SinDeg(epsilon), cosEpsilon = am::CosDeg(epsilon);
    const long double sinLambda = am::SinDeg(lambda);
    record.longitude = lambda;
    record.rightAscension =
        am::ArcTan2Deg(sinLambda * cosEpsilon - am::TanDeg(beta) * sinEpsilon, am::CosDeg(lambda));
    record.declination = ArcSinOfSineDeg(am::SinDeg(beta) * cosEpsilon + am::CosDeg(beta) * sinEpsilon * sinLambda);
}

LunarElements MeanElementsUnchecked(double dayNumber) {
    const long double t = Centuries(dayNumber);
    return {kMeanElongation(t),     kSunMeanAnomaly(t),  kMoonMeanAnomaly(t),
            kArgumentOfLatitude(t), kMoonMeanLongitude(t), kVenusArgument(t),
            kJupiterArgument(t),    kFlatteningArgument(t), kEccentricityFactor(t)};
}

LunarTermSums PeriodicSumsUnchecked(const LunarElements& elements) {
    const AngleMultiples<kMaxD> d(elements.meanElongation);
    const AngleMultiples<kMaxM> m(elements.sunMeanAnomaly);
    const AngleMultiples<kMaxMPrime> mPrime(elements.moonMeanAnomaly);
    const AngleMultiples<kMaxF> f(elements.argumentOfLatitude);
    // Terms with the Sun's anomaly M depend on the eccentricity of the Earth's orbit: weight E per unit of |M|.
    const auto e = static_cast<double>(elements.eccentricityFactor);
    const std::array<double, kMaxM + 1> weight{1.0, e, e * e};

    double sumL = 0.0, sumR = 0.0, sumB = 0.0;
    for (const LongitudeDistanceTerm& row : kLongitudeDistanceTerms) {
        const UnitTurn z = d[row.d] * m[row.m] * mPrime[row.mPrime] * f[row.f];
        const double w = weight[static_cast<std::size_t>(std::abs(row.m))];
        sumL += row.sigmaL * w * z.s;
        sumR += row.sigmaR * w * z.c;
    }
    for (const LatitudeTerm& row : kLatitudeTerms) {
        const UnitTurn z = d[row.d] * m[row.m] * mPrime[row.mPrime] * f[row.f];
        sumB += row.sigmaB * weight[static_cast<std::size_t>(std::abs(row.m))] * z.s;
    }

    // Additive terms: Venus (A1), Jupiter (A2), the flattening of the Earth (L', A3).
    const UnitTurn meanLongitude = TurnOf(elements.meanLongitude);
    const UnitTurn a1 = TurnOf(elements.a1);
    sumL += 3958 * a1.s + 1962 * (meanLongitude * f[-1]).s + 318 * TurnOf(elements.a2).s;
    sumB += -2235 * meanLongitude.s + 382 * TurnOf(elements.a3).s + 175 * (a1 * f[-1]).s + 175 * (a1 * f[1]).s +
            127 * (meanLongitude * mPrime[-1]).s - 115 * (meanLongitude * mPrime[1]).s;
    return {sumL, sumB, sumR};
}

void EclipticPositionUnchecked(MoonCoordinates& record, double dayNumber) {
    const LunarElements elements = MeanElementsUnchecked(dayNumber);
    const LunarTermSums sums = PeriodicSumsUnchecked(elements);
    record.longitude = elements.meanLongitude + sums.longitude * 0.000001L;
    record.latitude = sums.latitude * 0.000001L;
    record.distance = 385000.56L + sums.distance * 0.001L;
    EclipticToEquatorialUnchecked(record, dayNumber);
}

long double ApparentSiderealTimeUnchecked(double dayNumber) {
    const long double daysFromJ2000 = DayNumberToJd(dayNumber) - kJ2000;
    const long double t = daysFromJ2000 * kOneOverJulianCentury;
    long double deltaPsi = 0, epsilon = 0;
    NutationUnchecked(dayNumber, deltaPsi, epsilon);
    // Mean sidereal time (IAU 1982) plus the equation of the equinoxes Δψ cos ε.
    const long double theta = 280.46061837L + 360.98564736629L * daysFromJ2000 +
                              t * t * (0.000387933L - t * (1.0L / 38710000)) + deltaPsi * am::CosDeg(epsilon);
    return am::NormalizeDegrees(theta);
}

void EquatorialToHorizontalUnchecked(MoonCoordinates& record, double dayNumber, long double longitudeWest,
                                     long double latitude) {
    const long double hourAngle =
        am::NormalizeDegrees(ApparentSiderealTimeUnchecked(dayNumber) - record.rightAscension - longitudeWest);
    const long double delta = record.declination;
    const long double sinPhi = am::SinDeg(latitude), cosPhi = am::CosDeg(latitude);
    const long double cosH = am::CosDeg(hourAngle);
    record.azimuth = am::ArcTan2Deg(am::SinDeg(hourAngle), cosH * sinPhi - am::TanDeg(delta) * cosPhi);
    record.altitude = ArcSinOfSineDeg(sinPhi * am::SinDeg(delta) + cosPhi * am::CosDeg(delta) * cosH);
}

void ReportedPositionUnchecked(const MoonCoordinates& record, long double& elevation, long double& azimuth) {
    // A fixed allowance in place of refraction and parallax.
    elevation = record.altitude - 0.9L;
    azimuth = record.azimuth + 180.0L;
    if (azimuth > 360.0L) azimuth -= 360.0L;
}

}  // namespace

constinit const long double DayZeroJd = 2451544.5L - DaysSinceDayZero(2000, 1, 1);

long double DayNumberToJd(double dayNumber) { return dayNumber + DayZeroJd; }

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
    EclipticToEquatorialUnchecked(work, dayNumber);
    ThrowOnFault(work.longitude, work.rightAscension, work.declination);
    record.longitude = work.longitude;
    record.rightAscension = work.rightAscension;
    record.declination = work.declination;
}

void MoonEclipticPosition(MoonCoordinates& record, double dayNumber) {
    ClearFaults();
    Fence(dayNumber);
    MoonCoordinates work{};
    EclipticPositionUnchecked(work, dayNumber);
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
    long double theta = ApparentSiderealTimeUnchecked(dayNumber);
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
    EquatorialToHorizontalUnchecked(work, dayNumber, longitudeWest, latitude);
    ThrowOnFault(work.altitude, work.azimuth);
    record.altitude = work.altitude;
    record.azimuth = work.azimuth;
}

void MoonHorizontalPosition(double dayNumber, long double longitudeWest, long double latitude,
                            long double& elevation, long double& azimuth) {
    ClearFaults();
    Fence(dayNumber, longitudeWest, latitude);
    MoonCoordinates record{};
    EclipticPositionUnchecked(record, dayNumber);
    EquatorialToHorizontalUnchecked(record, dayNumber, longitudeWest, latitude);
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
