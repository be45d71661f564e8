// SPDX-License-Identifier: GPL-3.0-or-later
#include "sky_frames.h"

#include <gtest/gtest.h>

#include <cmath>

#include "astro_math.h"

namespace {

// Meeus, Astronomical Algorithms, example 11.a: Palomar, φ = 33°21′22″, 1706 m.
TEST(ObserverOnEllipsoid, GeocentricPlaceOfWorkedExamplesAndLimits) {
    struct Case {
        long double latitude, height, rhoSinPhi, rhoCosPhi;
    };
    const Case cases[] = {
        {33.356111L, 1706.0L, 0.546861L, 0.836339L},
        {0.0L, 0.0L, 0.0L, 1.0L},
        {90.0L, 0.0L, 1.0L - 1.0L / 298.257223563L, 0.0L},  // the pole: b/a
        {-90.0L, 0.0L, -(1.0L - 1.0L / 298.257223563L), 0.0L},
        {0.0L, 6378.137L, 0.0L, 1.001L},  // 1/1000 of the radius above the equator
    };
    for (const Case& c : cases) {
        const sky_frames::GeocentricObserver o = sky_frames::ObserverOnEllipsoid(c.latitude, c.height);
        EXPECT_NEAR(o.rhoSinPhi, c.rhoSinPhi, 1e-6L) << c.latitude;
        EXPECT_NEAR(o.rhoCosPhi, c.rhoCosPhi, 1e-6L) << c.latitude;
    }
}

// Meeus example 40.a: Mars from Palomar on 2003-08-28 03:17 UT, α = 339.530208°, δ = −15.771083°, 0.37276 AU,
// θ₀ = 1h40m45s, L = 7h47m27s west. The shifts are libnova's ln_get_parallax_ha for the same case.
TEST(TopocentricFromGeocentric, ParallaxOfMarsFromPalomar) {
    const sky_frames::GeocentricObserver palomar = sky_frames::ObserverOnEllipsoid(33.356111L, 1706.0L);
    const sky_frames::TopocentricPlace place = sky_frames::TopocentricFromGeocentric(
        339.530208L, -15.771083L, 0.37276L * 149597870.7L, 25.1875L, 116.8625L, palomar);
    EXPECT_NEAR(place.rightAscension - 339.530208L, 0.00539161L, 2e-7L);
    EXPECT_NEAR(place.declination + 15.771083L, -0.00392870L, 2e-7L);
    EXPECT_NEAR(place.distanceKm / 149597870.7L, 0.37276L, 5e-5L);
}

TEST(TopocentricFromGeocentric, MoonOnTheMeridianAndOnTheHorizon) {
    const sky_frames::GeocentricObserver equator = sky_frames::ObserverOnEllipsoid(0.0L, 0.0L);
    const long double distance = 384400.0L;
    // Overhead at the equator: no shift in direction, one Earth radius nearer.
    sky_frames::TopocentricPlace overhead =
        sky_frames::TopocentricFromGeocentric(30.0L, 0.0L, distance, 30.0L, 0.0L, equator);
    EXPECT_NEAR(overhead.rightAscension, 30.0L, 1e-12L);
    EXPECT_NEAR(overhead.declination, 0.0L, 1e-12L);
    EXPECT_NEAR(overhead.distanceKm, distance - sky_frames::kEquatorialRadiusKm, 1e-6L);
    // On the geocentric horizon in the west (hour angle 90°): seen from the surface one radius off the
    // line to the Earth's centre, the Moon stands atan(radius / distance) further west, all in right
    // ascension, and as far as it was.
    sky_frames::TopocentricPlace setting =
        sky_frames::TopocentricFromGeocentric(30.0L, 0.0L, distance, 120.0L, 0.0L, equator);
    EXPECT_NEAR(setting.rightAscension, 30.0L - 0.950590L, 1e-6L);
    EXPECT_NEAR(setting.declination, 0.0L, 1e-12L);
    EXPECT_NEAR(setting.distanceKm, std::hypot(distance, sky_frames::kEquatorialRadiusKm), 1e-6L);
    // One degree from the celestial pole, seen from the north pole (one polar radius up the axis): the
    // Moon leaves the pole by atan(Δ sin 1° / (Δ cos 1° − b)) = 1.016814°.
    sky_frames::TopocentricPlace polar = sky_frames::TopocentricFromGeocentric(
        0.0L, 89.0L, distance, 0.0L, 0.0L, sky_frames::ObserverOnEllipsoid(90.0L, 0.0L));
    EXPECT_NEAR(polar.declination, 90.0L - 1.016814L, 2e-6L);
}

// Saemundsson's formula is the inverse of Bennett's, which gives the refraction for an apparent altitude
// h₀: R = 1/tan(h₀ + 7.31/(h₀ + 4.4)) arc minutes (Meeus, chapter 16). The two agree within about 0.1′.
TEST(Refraction, AgreesWithBennettsFormulaAndScalesWithTheAir) {
    for (long double apparent : {0.5L, 1.0L, 3.0L, 5.0L, 10.0L, 20.0L, 45.0L, 70.0L, 89.0L}) {
        const long double bennett = 1.0L / astro_math::TanDeg(apparent + 7.31L / (apparent + 4.4L)) / 60;
        const long double trueAltitude = apparent - bennett;
        EXPECT_NEAR(sky_frames::Refraction(trueAltitude, 10.0L, 1010.0L), bennett, 0.1L / 60) << apparent;
    }
    EXPECT_NEAR(sky_frames::Refraction(90.0L, 10.0L, 1010.0L), 0.0L, 1e-6L);
    EXPECT_EQ(sky_frames::Refraction(20.0L, 10.0L, 0.0L), 0.0L);
    const long double standard = sky_frames::Refraction(20.0L, 10.0L, 1010.0L);
    EXPECT_NEAR(sky_frames::Refraction(20.0L, 10.0L, 505.0L), standard / 2, 1e-12L);
    EXPECT_NEAR(sky_frames::Refraction(20.0L, -10.0L, 1010.0L), standard * 283 / 263, 1e-12L);
    EXPECT_LT(sky_frames::Refraction(-1.0L, 10.0L, 1010.0L), 0.7L);
}

// Under the horizon the formula holds to -1°, the correction then fades linearly to nothing at -2°, and a
// body further down is not lifted; walked in hundredths of a degree the correction never jumps.
TEST(Refraction, FadesOutBelowTheHorizonWithoutAJump) {
    const long double atMinusOne = sky_frames::Refraction(-1.0L, 10.0L, 1010.0L);
    EXPECT_NEAR(sky_frames::Refraction(-1.5L, 10.0L, 1010.0L), atMinusOne / 2, 1e-12L);
    EXPECT_NEAR(sky_frames::Refraction(-1.75L, 10.0L, 1010.0L), atMinusOne / 4, 1e-12L);
    for (long double below : {-2.0L, -2.5L, -18.0L, -90.0L}) {
        EXPECT_EQ(sky_frames::Refraction(below, 10.0L, 1010.0L), 0.0L) << below;
    }
    // The steepest stretch is the fade: about 0.65° over one degree, under 0.007° a step.
    long double previous = sky_frames::Refraction(-5.0L, 10.0L, 1010.0L);
    for (int step = -499; step <= 500; ++step) {
        const long double value = sky_frames::Refraction(step / 100.0L, 10.0L, 1010.0L);
        EXPECT_LT(std::fabs(value - previous), 0.007L) << step / 100.0L;
        previous = value;
    }
}

}  // namespace
