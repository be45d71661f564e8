// SPDX-License-Identifier: GPL-3.0-or-later
#include "moon.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <tuple>

#include "angle_series.h"
#include "astro_math.h"
#include "astro_time.h"
#include "moon_terms.h"
#include "sky_frames.h"

// How a position is evaluated. The formulas are those of the lunar theory term for term; the work is arranged
// so that a position costs a microsecond or two rather than tens:
//  - every angle is first reduced to one turn in extended precision (the unreduced elements and the sidereal
//    angle reach 1e5 to 1e7 degrees, where double precision would lose more than 1e-10 degree), and only
//    the reduced angle's sine and cosine are taken in double precision;
//  - the sines and cosines of the 180 combined arguments of the series come from those of the fundamental
//    arguments by angle addition (products of unit complex numbers), not from one sine call each;
//  - the nutation is worked out once per position and serves both the apparent place and the sidereal time.
// The results stay within about 1e-12 degree of a term-by-term extended-precision evaluation.
namespace moon {

namespace {

namespace am = astro_math::unchecked;
using angle_series::AngleMultiples;
using angle_series::Narrow;
using angle_series::TurnOf;
using angle_series::UnitTurn;
using sky_frames::NutationValues;

// The multiples reached by the tables; checked here so that no row can index past them.
constexpr int kMaxD = 4, kMaxM = 2, kMaxMPrime = 4, kMaxF = 3;

template <typename Row>
constexpr bool WithinMultiples(const Row& row) {
    auto within = [](int k, int low, int high) { return low <= k && k <= high; };
    return within(row.d, 0, kMaxD) && within(row.m, -kMaxM, kMaxM) && within(row.mPrime, -kMaxMPrime, kMaxMPrime) &&
           within(row.f, -kMaxF, kMaxF);
}

constexpr bool TablesWithinMultiples() {
    for (const auto& row : kLongitudeDistanceTerms)
        if (!WithinMultiples(row)) return false;
    for (const auto& row : kLatitudeTerms)
        if (!WithinMultiples(row)) return false;
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

LunarElements MeanElementsUnchecked(double dayNumber) {
    const long double t = astro_time::Centuries(dayNumber);
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
    sumB += -2235 * meanLongitude.s + 382 * TurnOf(elements.a3).s + 175 * (a1 * f[-1]).s + 175 * (a1 * f[1]).s +
            127 * (meanLongitude * mPrime[-1]).s - 115 * (meanLongitude * mPrime[1]).s;
    return {sumL, sumB, sumR};
}

// λ, β and distance from the lunar theory; α, δ and the apparent λ follow from ApparentPlace.
void GeometricPositionUnchecked(MoonCoordinates& record, double dayNumber) {
    const LunarElements elements = MeanElementsUnchecked(dayNumber);
    const LunarTermSums sums = PeriodicSumsUnchecked(elements);
    record.longitude = elements.meanLongitude + sums.longitude * 0.000001L;
    record.latitude = sums.latitude * 0.000001L;
    record.distance = 385000.56L + sums.distance * 0.001L;
}

// Replaces λ by the apparent longitude and writes α and δ.
void ApparentPlace(MoonCoordinates& record, const NutationValues& nutation) {
    const sky_frames::EquatorialPosition place =
        sky_frames::EclipticToEquatorial(record.longitude, record.latitude, nutation);
    record.longitude = place.longitude;
    record.rightAscension = place.rightAscension;
    record.declination = place.declination;
}

// Writes h and A for the observer.
void HorizontalPlace(MoonCoordinates& record, long double siderealTime, long double longitudeWest,
                     long double latitude) {
    const sky_frames::HorizontalPosition horizontal = sky_frames::EquatorialToHorizontal(
        record.rightAscension, record.declination, siderealTime, longitudeWest, latitude);
    record.altitude = horizontal.altitude;
    record.azimuth = horizontal.azimuth;
}

void ReportedPositionUnchecked(const MoonCoordinates& record, long double& elevation, long double& azimuth) {
    // A fixed allowance in place of refraction and parallax.
    elevation = record.altitude - 0.9L;
    azimuth = record.azimuth + 180.0L;
    if (azimuth > 360.0L) azimuth -= 360.0L;
}

// The values a result is checked on: every field of the records, both values of a pair.
auto CheckedFields(const long double& x) {
    return std::tie(x);
}
template <std::size_t N>
auto CheckedFields(const std::array<long double, N>& values) {
    return std::apply([](const auto&... x) { return std::tie(x...); }, values);
}
auto CheckedFields(const MoonCoordinates& r) {
    return std::tie(r.longitude, r.latitude, r.distance, r.rightAscension, r.declination, r.altitude, r.azimuth);
}
auto CheckedFields(const LunarElements& e) {
    return std::tie(e.meanElongation, e.sunMeanAnomaly, e.moonMeanAnomaly, e.argumentOfLatitude, e.meanLongitude, e.a1,
                    e.a2, e.a3, e.eccentricityFactor);
}
auto CheckedFields(const LunarTermSums& s) {
    return std::tie(s.longitude, s.latitude, s.distance);
}

// Every public routine runs its computation through here: the fault flags are cleared, the inputs fenced
// (so no arithmetic on them is moved before the clearing), and a fault flagged by the computation, or a NaN
// or infinity in its result, is thrown (astro_math::ThrowOnFault). The caller writes its outputs from the
// result only once this has returned.
template <typename Compute, typename... Inputs>
auto Checked(Compute compute, Inputs... inputs) {
    astro_math::ClearFaults();
    astro_math::Fence(inputs...);
    const auto result = compute(inputs...);
    std::apply([](const auto&... x) { astro_math::ThrowOnFault(x...); }, CheckedFields(result));
    return result;
}

// A record holding only the fields a routine reads, so that what the caller left in the others can
// neither enter the computation nor its check.
template <long double MoonCoordinates::*... Fields>
MoonCoordinates Only(const MoonCoordinates& record) {
    MoonCoordinates inputs{};
    ((inputs.*Fields = record.*Fields), ...);
    return inputs;
}

}  // namespace

constinit const long double DayZeroJd = astro_time::kDayZeroJd;

long double DayNumberToJd(double dayNumber) {
    return astro_time::DayNumberToJd(dayNumber);
}

void Nutation(double dayNumber, long double& deltaPsi, long double& epsilon) {
    const auto [psi, eps] = Checked(
        [](double day) {
            const NutationValues n = sky_frames::NutationAt(day);
            return std::array{n.deltaPsi, n.epsilon};
        },
        dayNumber);
    deltaPsi = psi;
    epsilon = eps;
}

void EclipticToEquatorial(MoonCoordinates& record, double dayNumber) {
    const MoonCoordinates work = Checked(
        [](MoonCoordinates r, double day) {
            ApparentPlace(r, sky_frames::NutationAt(day));
            return r;
        },
        Only<&MoonCoordinates::longitude, &MoonCoordinates::latitude>(record), dayNumber);
    record.longitude = work.longitude;
    record.rightAscension = work.rightAscension;
    record.declination = work.declination;
}

void MoonEclipticPosition(MoonCoordinates& record, double dayNumber) {
    const MoonCoordinates work = Checked(
        [](double day) {
            MoonCoordinates r{};
            GeometricPositionUnchecked(r, day);
            ApparentPlace(r, sky_frames::NutationAt(day));
            return r;
        },
        dayNumber);
    record.longitude = work.longitude;
    record.latitude = work.latitude;
    record.distance = work.distance;
    record.rightAscension = work.rightAscension;
    record.declination = work.declination;
}

long double ApparentSiderealTime(double dayNumber) {
    return Checked([](double day) { return sky_frames::ApparentSiderealTime(day, sky_frames::NutationAt(day)); },
                   dayNumber);
}

void EquatorialToHorizontal(MoonCoordinates& record, double dayNumber, long double longitudeWest,
                            long double latitude) {
    const MoonCoordinates work = Checked(
        [](MoonCoordinates r, double day, long double west, long double north) {
            HorizontalPlace(r, sky_frames::ApparentSiderealTime(day, sky_frames::NutationAt(day)), west, north);
            return r;
        },
        Only<&MoonCoordinates::rightAscension, &MoonCoordinates::declination>(record), dayNumber, longitudeWest,
        latitude);
    record.altitude = work.altitude;
    record.azimuth = work.azimuth;
}

void MoonHorizontalPosition(double dayNumber, long double longitudeWest, long double latitude, long double& elevation,
                            long double& azimuth) {
    const auto [el, az] = Checked(
        [](double day, long double west, long double north) {
            // The nutation enters both the apparent place and the sidereal time; it is worked out once.
            const NutationValues nutation = sky_frames::NutationAt(day);
            MoonCoordinates record{};
            GeometricPositionUnchecked(record, day);
            ApparentPlace(record, nutation);
            HorizontalPlace(record, sky_frames::ApparentSiderealTime(day, nutation), west, north);
            std::array<long double, 2> reported{};
            ReportedPositionUnchecked(record, reported[0], reported[1]);
            return reported;
        },
        dayNumber, longitudeWest, latitude);
    elevation = el;
    azimuth = az;
}

LunarElements MeanLunarElements(double dayNumber) {
    return Checked(MeanElementsUnchecked, dayNumber);
}

LunarTermSums LunarPeriodicSums(const LunarElements& elements) {
    return Checked([](const LunarElements& e) { return PeriodicSumsUnchecked(e); }, elements);
}

void ReportedPosition(const MoonCoordinates& record, long double& elevation, long double& azimuth) {
    const auto [el, az] = Checked(
        [](const MoonCoordinates& r) {
            std::array<long double, 2> reported{};
            ReportedPositionUnchecked(r, reported[0], reported[1]);
            return reported;
        },
        Only<&MoonCoordinates::altitude, &MoonCoordinates::azimuth>(record));
    elevation = el;
    azimuth = az;
}

}  // namespace moon
