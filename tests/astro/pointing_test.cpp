// SPDX-License-Identifier: GPL-3.0-or-later
#include "pointing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "astro_math.h"
#include "astro_time.h"
#include "pointing_reference.h"
#include "sky_frames.h"
#include "sun.h"

namespace {

using pointing::Target;

const std::vector<pointing_reference::Case>& Cases() {
    static const std::vector<pointing_reference::Case> cases = pointing_reference::Load();
    return cases;
}

// astropy's topocentric apparent Moon and Sun (get_body to AltAz, no refraction) at 1000 random instants of
// 1975–2045 and places within ±80° of latitude: every case within 0.02° in elevation and in azimuth on the
// sky (azimuth × cos elevation).
TEST(PrecisePosition, MoonAndSunWithinTwoHundredthsOfADegreeOfAstropy) {
    ASSERT_EQ(Cases().size(), 1000u);
    for (Target target : {Target::Moon, Target::Sun}) {
        const char* name = target == Target::Moon ? "Moon" : "Sun";
        long double largestElevation = 0, largestAzimuth = 0;
        for (const pointing_reference::Case& c : Cases()) {
            const pointing::Direction d = pointing::PrecisePosition(
                target, c.dayNumber, {c.latitude, c.longitudeEast, c.heightMetres}, pointing::Atmosphere{});
            const pointing_reference::Error e =
                target == Target::Moon
                    ? pointing_reference::Compare(d.elevation, d.azimuth, c.moonElevation, c.moonAzimuth)
                    : pointing_reference::Compare(d.elevation, d.azimuth, c.sunElevation, c.sunAzimuth);
            EXPECT_LE(std::fabs(e.elevation), 0.02L) << name << " " << c.utc;
            EXPECT_LE(std::fabs(e.azimuthOnSky), 0.02L) << name << " " << c.utc;
            EXPECT_GT(d.azimuth, 0.0L);
            EXPECT_LE(d.azimuth, 360.0L);
            largestElevation = std::max(largestElevation, std::fabs(e.elevation));
            largestAzimuth = std::max(largestAzimuth, std::fabs(e.azimuthOnSky));
        }
        RecordProperty(std::string(name) + "LargestElevationError", std::to_string(largestElevation));
        RecordProperty(std::string(name) + "LargestAzimuthError", std::to_string(largestAzimuth));
    }
}

// The Moon's distance as seen from the ground: between perigee and apogee less an Earth radius, and
// one radius nearer overhead than on the horizon.
TEST(PrecisePosition, MoonDistanceFromTheObserver) {
    for (const pointing_reference::Case& c : Cases()) {
        const pointing::Direction d = pointing::PrecisePosition(
            Target::Moon, c.dayNumber, {c.latitude, c.longitudeEast, c.heightMetres}, pointing::Atmosphere{});
        EXPECT_GT(d.distanceKm, 356000.0L - 6400.0L) << c.utc;
        EXPECT_LT(d.distanceKm, 407000.0L + 6400.0L) << c.utc;
    }
}

TEST(PrecisePosition, RefractionIsAddedOnlyWhenAskedFor) {
    const pointing::Station station{52.0L, 5.0L, 10.0L};
    const double day = 45007.5;
    const pointing::Direction airless = pointing::PrecisePosition(Target::Moon, day, station, {});
    const pointing::Direction noPressure = pointing::PrecisePosition(Target::Moon, day, station, {true, 10, 0});
    const pointing::Direction refracted = pointing::PrecisePosition(Target::Moon, day, station, {true, 10, 1010});
    EXPECT_EQ(noPressure.elevation, airless.elevation);
    EXPECT_NEAR(refracted.elevation - airless.elevation, sky_frames::Refraction(airless.elevation, 10, 1010), 1e-12L);
    EXPECT_GT(refracted.elevation - airless.elevation, 0.01L);
    EXPECT_EQ(refracted.azimuth, airless.azimuth);
}

// Meeus example 25.a, 1992-10-13 0h TD: VSOP87's geometric longitude 199.907272° (libnova, carried to the
// equinox of date; Meeus example 25.b) and distance 0.99760 AU.
TEST(SunGeometricPosition, WorkedExampleOf1992October13) {
    const double day = 2448908.5 - 2415018.5;
    const sun::SunGeometric sun = sun::SunGeometricPosition(day);
    EXPECT_NEAR(sun.longitude, 199.907272L, 0.002L);
    EXPECT_NEAR(sun.distanceAu, 0.99760L, 2e-5L);
    const sun::SunApparent apparent = sun::SunApparentPosition(day);
    // Meeus 25.a: apparent α = 198.38083°, δ = −7.78507° (to his theory's 0.01°).
    EXPECT_NEAR(apparent.place.rightAscension, 198.38083L, 0.005L);
    EXPECT_NEAR(apparent.place.declination, -7.78507L, 0.005L);
}

TEST(PrecisePosition, BadInputIsAFloatingPointError) {
    constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();
    const pointing::Station good{52.0L, 5.0L, 0.0L};
    EXPECT_THROW(pointing::PrecisePosition(Target::Moon, std::numeric_limits<double>::quiet_NaN(), good, {}),
                 astro_math::InvalidOperation);
    EXPECT_THROW(pointing::PrecisePosition(Target::Sun, 45007.5, {kNaN, 5.0L, 0.0L}, {}),
                 astro_math::FloatingPointError);
    EXPECT_THROW(pointing::PrecisePosition(Target::Sun, 1e300, good, {}), astro_math::FloatingPointError);
}

}  // namespace
