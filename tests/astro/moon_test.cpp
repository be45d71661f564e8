// SPDX-License-Identifier: GPL-3.0-or-later
#include "moon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "astro_math.h"
#include "moon_reference.h"

namespace {

using astro_math::NormalizeDegrees;

constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();
constexpr double kNaND = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfD = std::numeric_limits<double>::infinity();

// Difference of two directions in degrees, in (-180, 180].
long double AngleDifference(long double a, long double b) {
    return std::remainder(a - b, 360.0L);
}

TEST(DayNumberToJd, AddsTheJulianDayOfDayZero) {
    EXPECT_EQ(moon::DayZeroJd, 2415018.5L);
    struct Case {
        double dayNumber;
        long double jd;
    };
    const Case cases[] = {{36526.5, 2451545.0L}, {0.0, 2415018.5L}, {33706.0, 2448724.5L}, {-1.5, 2415017.0L}};
    for (const Case& c : cases) {
        EXPECT_EQ(moon::DayNumberToJd(c.dayNumber), c.jd) << c.dayNumber;
    }
}

// 1992-04-12 00:00 (Meeus, Astronomical Algorithms, example 47.a, with the first edition's polynomials).
TEST(MoonEclipticPosition, WorkedExampleOf1992April12) {
    const double day = 33706.0;
    EXPECT_NEAR((moon::DayNumberToJd(day) - 2451545.0L) / 36525, -0.077221081L, 1e-9L);

    const moon::LunarElements e = moon::MeanLunarElements(day);
    struct Value {
        const char* name;
        long double actual, expected, tolerance;
    };
    const moon::LunarTermSums sums = moon::LunarPeriodicSums(e);
    const long double geometricLambda = e.meanLongitude + sums.longitude * 1e-6L;
    long double deltaPsi = 0, epsilon = 0;
    moon::Nutation(day, deltaPsi, epsilon);
    moon::MoonCoordinates record{};
    record.altitude = 12.5L;  // not one of the fields this routine writes
    moon::MoonEclipticPosition(record, day);

    const Value values[] = {
        {"L'", NormalizeDegrees(e.meanLongitude), 134.290186L, 1e-6L},
        {"D", NormalizeDegrees(e.meanElongation), 113.842309L, 1e-6L},
        {"M", NormalizeDegrees(e.sunMeanAnomaly), 97.643514L, 1e-6L},
        {"M'", NormalizeDegrees(e.moonMeanAnomaly), 5.150839L, 1e-6L},
        {"F", NormalizeDegrees(e.argumentOfLatitude), 219.889726L, 1e-6L},
        {"E", e.eccentricityFactor, 1.000194L, 1e-6L},
        {"sum l", sums.longitude, -1127526, 1},
        {"sum b", sums.latitude, -3229127, 1},
        {"sum r", sums.distance, -16590875, 1},
        {"lambda unreduced", geometricLambda, -36946.8373L, 1e-4L},
        {"lambda", NormalizeDegrees(geometricLambda), 133.162660L, 1e-6L},
        {"delta psi", deltaPsi, 0.0046103L, 1e-7L},
        {"delta psi arcsec", deltaPsi * 3600, 16.597L, 1e-3L},
        {"epsilon", epsilon, 23.440635L, 1e-6L},
        {"apparent lambda", record.longitude, 133.167270L, 1e-6L},
        {"beta", record.latitude, -3.229127L, 1e-6L},
        {"distance", record.distance, 368409.68L, 0.01L},
        {"alpha", record.rightAscension, 134.688474L, 1e-6L},
        {"delta", record.declination, 13.768365L, 1e-6L},
        {"altitude untouched", record.altitude, 12.5L, 0},
    };
    for (const Value& v : values) {
        EXPECT_NEAR(v.actual, v.expected, v.tolerance) << v.name;
    }
}

TEST(MoonEclipticPosition, RightAscensionBetween270And360ComesOutNegative) {
    moon::MoonCoordinates record{};
    moon::MoonEclipticPosition(record, 45000.75);
    EXPECT_NEAR(record.longitude, 273.441L, 1e-3L);
    EXPECT_NEAR(record.rightAscension, -86.121L, 1e-3L);
    EXPECT_NEAR(record.declination, -27.81L, 1e-2L);
}

TEST(ApparentSiderealTime, WorkedExampleOf1987April10) {
    // Meeus example 12.a: mean 13h10m46.3668s = 197.693195°, apparent 197.6922°.
    const double day = 31877.0;
    long double deltaPsi = 0, epsilon = 0;
    moon::Nutation(day, deltaPsi, epsilon);
    const long double equationOfEquinoxes = deltaPsi * astro_math::CosDeg(epsilon);
    EXPECT_NEAR(equationOfEquinoxes, -0.00097L, 1e-5L);
    const long double apparent = moon::ApparentSiderealTime(day);
    EXPECT_NEAR(apparent, 197.6922L, 1e-4L);
    EXPECT_NEAR(apparent - equationOfEquinoxes, 197.6932L, 1e-4L);
}

TEST(MoonHorizontalPosition, WorkedExamplesWithTheirIntermediateValues) {
    // NaN marks a value the example does not give.
    struct Case {
        double day;
        long double longitudeWest, latitude;
        long double alpha, delta, theta0, hourAngle, azimuthFromSouth, altitude;  // 3 decimals
        long double elevation, azimuth;                                           // 2 decimals
    };
    const Case cases[] = {
        {36526.5, -5.0L, 52.0L, 222.444L, -10.898L, 280.457L, 63.013L, kNaN, 7.202L, 6.30L, 241.88L},
        {45007.5, -14.0L / 3, 52.0L + 1.0L / 12, 11.811L, 2.928L, 359.733L, 352.589L, -9.747L, 40.457L, 39.56L,
         170.25L},
        {36526.0, -5.0L, 52.0L, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, -21.26L, 78.21L},
        {45000.25, 75.0L, 40.0L, kNaN, kNaN, kNaN, kNaN, -61.72L, kNaN, kNaN, 118.28L},
    };
    auto expectNear = [](long double actual, long double expected, long double tolerance, const char* what,
                         double day) {
        if (!std::isnan(expected)) {
            EXPECT_NEAR(actual, expected, tolerance) << what << " on day " << day;
        }
    };
    for (const Case& c : cases) {
        moon::MoonCoordinates record{};
        moon::MoonEclipticPosition(record, c.day);
        moon::EquatorialToHorizontal(record, c.day, c.longitudeWest, c.latitude);
        const long double theta0 = moon::ApparentSiderealTime(c.day);
        expectNear(record.rightAscension, c.alpha, 1e-3L, "alpha", c.day);
        expectNear(record.declination, c.delta, 1e-3L, "delta", c.day);
        expectNear(theta0, c.theta0, 1e-3L, "theta0", c.day);
        expectNear(NormalizeDegrees(theta0 - record.rightAscension - c.longitudeWest), c.hourAngle, 1e-3L, "H", c.day);
        expectNear(record.azimuth, c.azimuthFromSouth, c.day == 45000.25 ? 1e-2L : 1e-3L, "A", c.day);
        expectNear(record.altitude, c.altitude, 1e-3L, "h", c.day);

        long double elevation = 0, azimuth = 0;
        moon::MoonHorizontalPosition(c.day, c.longitudeWest, c.latitude, elevation, azimuth);
        expectNear(elevation, c.elevation, 1e-2L, "elevation", c.day);
        expectNear(azimuth, c.azimuth, 1e-2L, "azimuth", c.day);
    }
}

TEST(MoonHorizontalPosition, TurnsTheSouthBasedAzimuthIntoABearingAndLowersTheAltitude) {
    struct Case {
        long double altitude, azimuthFromSouth, elevation, bearing;
    };
    const Case cases[] = {
        {0, 180, -0.9L, 360},  // due north is 360, not 0
        {10, 180.25L, 9.1L, 0.25L}, {90, 269.75L, 89.1L, 89.75L}, {-90, -89.75L, -90.9L, 90.25L},
        {45, 0, 44.1L, 180},        {-12.5L, 90, -13.4L, 270},
    };
    for (const Case& c : cases) {
        moon::MoonCoordinates record{};
        record.altitude = c.altitude;
        record.azimuth = c.azimuthFromSouth;
        long double elevation = 0, bearing = 0;
        moon::ReportedPosition(record, elevation, bearing);
        EXPECT_NEAR(elevation, c.elevation, 1e-15L) << static_cast<double>(c.azimuthFromSouth);
        EXPECT_NEAR(bearing, c.bearing, 1e-15L) << static_cast<double>(c.azimuthFromSouth);
    }
}

TEST(EquatorialToHorizontal, MoonAtTheZenithHasAnAltitudeOf90AndNoFault) {
    // At these latitudes sin φ sin δ + cos φ cos δ cos H rounds to just above 1 when δ = φ and H = 0.
    const double day = 45000.3;
    for (const long double latitude : {-27.531L, -23.2845L, -20.691L, -18.411L, 5.1L, 17.3L}) {
        const long double longitudeWest = 71.5L;
        moon::MoonCoordinates record{};
        record.rightAscension = moon::ApparentSiderealTime(day) - longitudeWest;
        record.declination = latitude;
        ASSERT_NO_THROW(moon::EquatorialToHorizontal(record, day, longitudeWest, latitude)) << latitude;
        EXPECT_NEAR(record.altitude, 90.0L, 1e-6L) << static_cast<double>(latitude);
    }
}

// Every stage of the library's evaluation against a plain extended-precision evaluation of the same formulas,
// over instants from 1900 to 2100 and observers anywhere on Earth.
TEST(MoonHorizontalPosition, AgreesWithThePlainExtendedEvaluationTo1e9Degree) {
    std::mt19937_64 random(20260412);
    std::uniform_real_distribution<double> days(0.0, 73050.0);
    std::uniform_real_distribution<long double> latitudes(-90.0L, 90.0L), longitudes(-180.0L, 180.0L);
    const long double tolerance = 1e-9L;  // degrees
    for (int i = 0; i < 2000; ++i) {
        const double day = days(random);
        const long double longitudeWest = longitudes(random), latitude = latitudes(random);

        long double deltaPsi = 0, epsilon = 0, refDeltaPsi = 0, refEpsilon = 0;
        moon::Nutation(day, deltaPsi, epsilon);
        moon_reference::Nutation(day, refDeltaPsi, refEpsilon);
        ASSERT_NEAR(deltaPsi, refDeltaPsi, tolerance) << day;
        ASSERT_NEAR(epsilon, refEpsilon, tolerance) << day;

        const moon::LunarElements elements = moon::MeanLunarElements(day);
        const moon::LunarTermSums sums = moon::LunarPeriodicSums(elements);
        const moon::LunarTermSums refSums = moon_reference::PeriodicSums(elements);
        ASSERT_NEAR(sums.longitude, refSums.longitude, tolerance * 1e6L) << day;
        ASSERT_NEAR(sums.latitude, refSums.latitude, tolerance * 1e6L) << day;
        ASSERT_NEAR(sums.distance, refSums.distance, 1e-3L) << day;  // 1e-6 km

        ASSERT_NEAR(AngleDifference(moon::ApparentSiderealTime(day), moon_reference::ApparentSiderealTime(day)), 0,
                    tolerance)
            << day;

        moon::MoonCoordinates record{};
        moon::MoonEclipticPosition(record, day);
        moon::EquatorialToHorizontal(record, day, longitudeWest, latitude);
        const moon::MoonCoordinates ref = moon_reference::FullPosition(day, longitudeWest, latitude);
        ASSERT_NEAR(AngleDifference(record.longitude, ref.longitude), 0, tolerance) << day;
        ASSERT_NEAR(record.latitude, ref.latitude, tolerance) << day;
        ASSERT_NEAR(record.distance, ref.distance, 1e-6L) << day;
        ASSERT_NEAR(AngleDifference(record.rightAscension, ref.rightAscension), 0, tolerance) << day;
        ASSERT_NEAR(record.declination, ref.declination, tolerance) << day;
        ASSERT_NEAR(record.altitude, ref.altitude, tolerance) << day;
        ASSERT_NEAR(AngleDifference(record.azimuth, ref.azimuth), 0, tolerance) << day;

        long double elevation = 0, azimuth = 0;
        moon::MoonHorizontalPosition(day, longitudeWest, latitude, elevation, azimuth);
        ASSERT_NEAR(elevation, ref.altitude - 0.9L, tolerance) << day;
        ASSERT_NEAR(AngleDifference(azimuth, ref.azimuth + 180), 0, tolerance) << day;
        ASSERT_GT(azimuth, 0.0L);
        ASSERT_LE(azimuth, 360.0L);
    }
}

TEST(MoonHorizontalPosition, BadInputThrowsAndLeavesTheResultsAlone) {
    struct Case {
        const char* name;
        double day;
        long double longitudeWest, latitude;
    };
    const Case cases[] = {
        {"NaN day", kNaND, 0, 52},
        {"infinite day", kInfD, 0, 52},
        {"day 1e300", 1e300, 0, 52},
        {"NaN longitude", 45000, kNaN, 52},
        {"NaN latitude", 45000, 0, kNaN},
        {"latitude 1e30", 45000, 0, 1e30L},
        {"longitude -inf", 45000, -std::numeric_limits<long double>::infinity(), 52},
    };
    for (const Case& c : cases) {
        long double elevation = -1234, azimuth = -5678;
        try {
            moon::MoonHorizontalPosition(c.day, c.longitudeWest, c.latitude, elevation, azimuth);
            ADD_FAILURE() << c.name << " did not throw";
        } catch (const std::runtime_error& fault) {
            EXPECT_EQ(std::string(fault.what()), "Invalid floating point operation") << c.name;
        }
        EXPECT_EQ(elevation, -1234) << c.name;
        EXPECT_EQ(azimuth, -5678) << c.name;
    }

    long double deltaPsi = 0, epsilon = 0;
    EXPECT_THROW(moon::Nutation(kNaND, deltaPsi, epsilon), astro_math::InvalidOperation);
    EXPECT_THROW(moon::ApparentSiderealTime(-kInfD), astro_math::InvalidOperation);
    EXPECT_THROW(moon::MeanLunarElements(kInfD), astro_math::FloatingPointError);
    moon::MoonCoordinates record{};
    record.longitude = kNaN;
    EXPECT_THROW(moon::EclipticToEquatorial(record, 45000), astro_math::InvalidOperation);
    EXPECT_THROW(moon::MoonEclipticPosition(record, kNaND), astro_math::InvalidOperation);
    record.declination = 1e30L;
    EXPECT_THROW(moon::EquatorialToHorizontal(record, 45000, 0, 52), astro_math::InvalidOperation);
}

TEST(MoonHorizontalPosition, ExtremeInputsGiveAPositionInRangeOrAFault) {
    const long double specials[] = {0.0L,
                                    -0.0L,
                                    1e-310L,
                                    89.999999L,
                                    90.0L,
                                    -90.0L,
                                    1e10L,
                                    -1e10L,
                                    1e300L,
                                    1e4000L,
                                    std::numeric_limits<long double>::max(),
                                    kNaN,
                                    std::numeric_limits<long double>::infinity()};
    const double days[] = {0.0,
                           -1e5,
                           36526.5,
                           1e6,
                           1e15,
                           -1e300,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::denorm_min(),
                           kNaND,
                           -kInfD};
    int positions = 0, faults = 0;
    for (const double day : days) {
        for (const long double longitudeWest : specials) {
            for (const long double latitude : specials) {
                long double elevation = 0, azimuth = 0;
                try {
                    moon::MoonHorizontalPosition(day, longitudeWest, latitude, elevation, azimuth);
                } catch (const astro_math::FloatingPointError&) {
                    ++faults;
                    continue;
                }
                ++positions;
                ASSERT_TRUE(elevation >= -90.9L && elevation <= 89.1L) << day << " " << longitudeWest;
                ASSERT_TRUE(azimuth > 0 && azimuth <= 360) << day << " " << longitudeWest << " " << latitude;
            }
        }
    }
    EXPECT_GT(positions, 0);
    EXPECT_GT(faults, 0);
}

}  // namespace
