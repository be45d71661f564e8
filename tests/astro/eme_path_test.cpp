// SPDX-License-Identifier: GPL-3.0-or-later
#include "eme_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "sky_temperature.h"

namespace {

constexpr long double kPi = 3.14159265358979323846L;
// The centres of the locators JO22IC and FN20XR.
const pointing::Station kJo22ic{52.0L + 2.5L * 2.5L / 60, 4.0L + 8.5L * 5 / 60, 0};
const pointing::Station kFn20xr{40.0L + 17.5L * 2.5L / 60, -76.0L + 23.5L * 5 / 60, 0};
constexpr double k20261221 = 46377.0;  // 2026-12-21 00:00 UTC

// The worked example of the path between the Netherlands and New York at 3 cm.
TEST(EmePath, WorkedSpreadsJo22icToFn20xr) {
    const eme_path::PathFigures path = eme_path::PathAt(k20261221, kJo22ic, kFn20xr, 10368e6L);
    EXPECT_NEAR(path.home.spreadHz, 55.9L, 0.02L * 55.9L);
    EXPECT_NEAR(path.dxSpreadHz, 97.9L, 0.02L * 97.9L);
}

// A station paired with itself: the DX path is its own echo, with no polarisation offset.
TEST(EmePath, StationPairedWithItselfHearsItsOwnEcho) {
    for (const double day : {44000.25, 46377.0, 47000.8}) {
        const eme_path::PathFigures path = eme_path::PathAt(day, kFn20xr, kFn20xr, 1296e6L);
        EXPECT_NEAR(path.dxSpreadHz, path.home.spreadHz, 1e-9L);
        EXPECT_NEAR(path.polarisationOffsetDegrees, 0, 1e-9L);
        EXPECT_NEAR(path.nonReciprocityDb, 0, 1e-9L);
    }
}

// The total solar eclipse of 2024-04-08 at Mazatlán, 18:18 UTC: the Sun stands behind the Moon.
TEST(EmePath, SunBehindTheMoonAtAnEclipse) {
    const pointing::Station mazatlan{23.22L, -106.42L, 0};
    EXPECT_LT(eme_path::SunMoonAngle(45390.0 + (18 * 60 + 18) / 1440.0, mazatlan), 0.1L);
}

// The parallactic angle from azimuth and elevation against the hour-angle form
// tan q = sin H / (tan φ cos δ − sin δ cos H), the Moon placed by H and δ.
TEST(EmePath, ParallacticAngleAgreesWithTheHourAngleForm) {
    struct Case {
        long double latitude, declination, hourAngle;
    };
    for (const Case c : {Case{52, 20, 30}, Case{52, 20, -30}, Case{-33, -10, 75}, Case{40, 28, 150},
                         Case{10, -25, -100}, Case{65, 25, 0}, Case{0, 5, 60}}) {
        const long double phi = c.latitude * kPi / 180, delta = c.declination * kPi / 180, h = c.hourAngle * kPi / 180;
        const long double elevation =
            std::asin(std::sin(phi) * std::sin(delta) + std::cos(phi) * std::cos(delta) * std::cos(h));
        // Azimuth from north through east.
        const long double azimuth =
            std::atan2(-std::cos(delta) * std::sin(h),
                       std::sin(delta) * std::cos(phi) - std::cos(delta) * std::cos(h) * std::sin(phi));
        const long double expected =
            std::atan2(std::sin(h), std::tan(phi) * std::cos(delta) - std::sin(delta) * std::cos(h)) * 180 / kPi;
        EXPECT_NEAR(eme_path::ParallacticAngle(c.latitude, azimuth * 180 / kPi, elevation * 180 / kPi), expected, 1e-9L)
            << c.latitude << ' ' << c.declination << ' ' << c.hourAngle;
    }
}

// Offsets fold into [-90, 90); the non-reciprocity follows |cos 2·offset| and stops at 25 dB.
TEST(EmePath, PolarisationOffsetFoldsAndSetsTheNonReciprocity) {
    struct Case {
        long double offset, folded, decibels;
    };
    for (const Case c : {Case{0, 0, 0}, Case{22.5L, 22.5L, 3.0103L}, Case{-30, -30, 6.0206L}, Case{40, 40, 15.2066L},
                         Case{100, -80, 0.5403L}, Case{-100, 80, 0.5403L}, Case{180, 0, 0}, Case{90, -90, 0},
                         Case{-90, -90, 0}, Case{225, 45, 25}, Case{44.9999L, 44.9999L, 25}}) {
        EXPECT_NEAR(eme_path::FoldedPolarisation(c.offset), c.folded, 1e-12L) << c.offset;
        EXPECT_NEAR(eme_path::NonReciprocity(eme_path::FoldedPolarisation(c.offset)), c.decibels, 1e-4L) << c.offset;
    }
}

// The Moon at perigee in front of the coldest sky costs nothing; twice as far costs 12 dB, a sky that
// doubles the system temperature 3 dB. The semi-diameter at the mean distance is 0.259°.
TEST(EmePath, DegradationAndSemiDiameterFromDistanceAndSky) {
    for (const long double hertz : {144e6L, 432e6L, 10368e6L}) {
        const long double coldest = sky_temperature::ColdestSky(hertz);
        EXPECT_NEAR(eme_path::Degradation(356400, coldest, hertz), 0, 1e-12L);
        EXPECT_NEAR(eme_path::Degradation(712800, coldest, hertz), 12.0412L, 1e-4L);
        EXPECT_NEAR(eme_path::Degradation(356400, 2 * (coldest + 80) - 80, hertz), 3.0103L, 1e-4L);
    }
    EXPECT_NEAR(sky_temperature::ColdestSky(408e6L), 13, 1e-12L);
    EXPECT_NEAR(eme_path::SemiDiameter(384400), 0.258965L, 1e-6L);
}

// Bins of two degrees centred on even longitudes, halves up, wrapping at 360°; the 144 MHz table as it is
// and scaled with the spectral index 2.6 above the 2.7 K background.
TEST(SkyTemperature, BinsRoundHalvesUpAndScaleWithFrequency) {
    struct Case {
        long double longitude;
        int bin;
        long double kelvin144;
    };
    for (const Case c : {Case{0, 0, 231}, Case{0.999L, 0, 231}, Case{1, 1, 234}, Case{2.5L, 1, 234}, Case{3, 2, 246},
                         Case{90, 45, 609}, Case{266, 133, 3018}, Case{358.99L, 179, 238}, Case{359, 0, 231},
                         Case{360, 0, 231}, Case{-1, 0, 231}, Case{-1.5L, 179, 238}, Case{719, 0, 231}}) {
        EXPECT_EQ(sky_temperature::Bin(c.longitude), c.bin) << c.longitude;
        EXPECT_NEAR(sky_temperature::SkyTemperature(c.longitude, 144e6L), c.kelvin144, 1e-12L) << c.longitude;
    }
    EXPECT_NEAR(sky_temperature::SkyTemperature(90, 432e6L), 37.548L, 1e-3L);
    EXPECT_NEAR(sky_temperature::SkyTemperature(90, 10368e6L), 2.709L, 1e-3L);
}

// A frequency that is no frequency is refused, not turned into NaN figures.
TEST(EmePath, RefusesFrequenciesThatAreNotPositive) {
    for (const long double hertz :
         {0.0L, -1e6L, std::numeric_limits<long double>::quiet_NaN(), std::numeric_limits<long double>::infinity()}) {
        EXPECT_THROW(eme_path::PathAt(k20261221, kJo22ic, kFn20xr, hertz), std::invalid_argument) << hertz;
    }
    EXPECT_THROW(sky_temperature::Bin(std::numeric_limits<long double>::quiet_NaN()), std::invalid_argument);
}

}  // namespace
