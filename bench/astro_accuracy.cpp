// SPDX-License-Identifier: GPL-3.0-or-later
// Accuracy of the truncated lunar theory against libnova's full ELP 2000-82B theory, the agreement of the
// library's fast evaluation with a plain extended-precision evaluation of the same formulas, and the precise
// topocentric positions of the Moon and the Sun against astropy's (the committed reference table).
//
// libnova gives the Moon's geocentric ecliptic position referred to the mean ecliptic and equinox of J2000;
// the truncated theory gives it referred to the mean ecliptic and equinox of date (before nutation). The
// libnova position is carried to the date by the rigorous precession of ecliptic coordinates (Meeus,
// Astronomical Algorithms, formulas 21.5 and 21.7) before the two are compared.
#include <libnova/lunar.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "astro_math.h"
#include "moon.h"
#include "moon_reference.h"
#include "pointing.h"
#include "pointing_reference.h"

namespace {

constexpr double kDegree = std::numbers::pi / 180;
constexpr double kArcsecond = kDegree / 3600;

struct Ecliptic {
    double longitude, latitude;  // degrees
};

// Ecliptic coordinates referred to J2000 carried to the mean ecliptic and equinox `t` Julian centuries later.
Ecliptic PrecessFromJ2000(Ecliptic j2000, double t) {
    const double eta = (47.0029 * t - 0.03302 * t * t + 0.000060 * t * t * t) * kArcsecond;
    const double pi = 174.876384 * kDegree + (-869.8089 * t + 0.03536 * t * t) * kArcsecond;
    const double p = (5029.0966 * t + 1.11113 * t * t - 0.000006 * t * t * t) * kArcsecond;
    const double lambda0 = j2000.longitude * kDegree, beta0 = j2000.latitude * kDegree;
    const double a = std::cos(eta) * std::cos(beta0) * std::sin(pi - lambda0) - std::sin(eta) * std::sin(beta0);
    const double b = std::cos(beta0) * std::cos(pi - lambda0);
    const double c = std::cos(eta) * std::sin(beta0) + std::sin(eta) * std::cos(beta0) * std::sin(pi - lambda0);
    return {(p + pi - std::atan2(a, b)) / kDegree, std::asin(c) / kDegree};
}

struct Statistics {
    double largest = 0, sumOfSquares = 0;
    int count = 0;
    void Add(double x) {
        largest = std::max(largest, std::fabs(x));
        sumOfSquares += x * x;
        ++count;
    }
    double Rms() const { return std::sqrt(sumOfSquares / count); }
};

// The precise path against astropy, one body: errors in elevation and in azimuth × cos(elevation).
void CompareWithAstropy(pointing::Target target, const std::vector<pointing_reference::Case>& cases) {
    Statistics elevation, azimuth;
    for (const pointing_reference::Case& c : cases) {
        const pointing::Direction d = pointing::PrecisePosition(
            target, c.dayNumber, {c.latitude, c.longitudeEast, c.heightMetres}, pointing::Atmosphere{});
        const pointing_reference::Error e =
            target == pointing::Target::Moon
                ? pointing_reference::Compare(d.elevation, d.azimuth, c.moonElevation, c.moonAzimuth)
                : pointing_reference::Compare(d.elevation, d.azimuth, c.sunElevation, c.sunAzimuth);
        elevation.Add(static_cast<double>(e.elevation));
        azimuth.Add(static_cast<double>(e.azimuthOnSky));
    }
    std::printf("  %-4s elevation: largest %.4f degree, RMS %.4f degree\n",
                target == pointing::Target::Moon ? "Moon" : "Sun", elevation.largest, elevation.Rms());
    std::printf("       azimuth x cos(elevation): largest %.4f degree, RMS %.4f degree\n", azimuth.largest,
                azimuth.Rms());
}

long double AngleDifference(long double a, long double b) {
    return std::remainder(a - b, 360.0L);
}

}  // namespace

int main() {
    constexpr int kInstants = 10000;
    constexpr double kFirstDay = 18264.0;  // 1950-01-01
    constexpr double kLastDay = 54789.0;   // 2050-01-01
    Statistics longitude, latitude;
    long double fastDeviation = 0;

    for (int i = 0; i < kInstants; ++i) {
        // Evenly spread, offset so that the instants do not fall on whole hours.
        const double day = kFirstDay + (kLastDay - kFirstDay) * (i + 0.5) / kInstants;
        const auto jd = static_cast<double>(moon::DayNumberToJd(day));

        const moon::LunarElements elements = moon::MeanLunarElements(day);
        const moon::LunarTermSums sums = moon::LunarPeriodicSums(elements);
        const long double ours = astro_math::NormalizeDegrees(elements.meanLongitude + sums.longitude * 1e-6L);
        const long double oursLatitude = sums.latitude * 1e-6L;

        ln_lnlat_posn full{};
        ln_get_lunar_ecl_coords(jd, &full, 0.0);  // every term of the theory
        const Ecliptic ofDate = PrecessFromJ2000({full.lng, full.lat}, (jd - 2451545.0) / 36525);
        longitude.Add(static_cast<double>(AngleDifference(ours, ofDate.longitude)) * 3600);
        latitude.Add((static_cast<double>(oursLatitude) - ofDate.latitude) * 3600);

        // The fast evaluation against the plain one, for an observer that moves around the globe.
        const long double longitudeWest = -180.0L + std::fmod(i * 37.77L, 360.0L);
        const long double observerLatitude = -89.0L + std::fmod(i * 13.31L, 178.0L);
        moon::MoonCoordinates record{};
        moon::MoonEclipticPosition(record, day);
        moon::EquatorialToHorizontal(record, day, longitudeWest, observerLatitude);
        const moon::MoonCoordinates plain = moon_reference::FullPosition(day, longitudeWest, observerLatitude);
        const long double deviations[] = {
            AngleDifference(record.longitude, plain.longitude),
            record.latitude - plain.latitude,
            AngleDifference(record.rightAscension, plain.rightAscension),
            record.declination - plain.declination,
            record.altitude - plain.altitude,
            AngleDifference(record.azimuth, plain.azimuth),
        };
        for (long double d : deviations) fastDeviation = std::max(fastDeviation, std::fabs(d));
    }

    std::printf("Truncated theory against libnova's full ELP 2000-82B, %d instants 1950-2050, mean equinox of date\n",
                kInstants);
    std::printf("  longitude: largest %.3f arcsec, RMS %.3f arcsec\n", longitude.largest, longitude.Rms());
    std::printf("  latitude:  largest %.3f arcsec, RMS %.3f arcsec\n", latitude.largest, latitude.Rms());
    std::printf("Fast evaluation against the plain extended-precision one (lambda, beta, alpha, delta, h, A):\n");
    std::printf("  largest deviation %.3Le degree\n", fastDeviation);

    const std::vector<pointing_reference::Case> cases = pointing_reference::Load();
    std::printf(
        "Precise topocentric position against astropy, %zu random instants 1975-2045, latitudes within "
        "80 degrees, no refraction (%s)\n",
        cases.size(), pointing_reference::Path().c_str());
    CompareWithAstropy(pointing::Target::Moon, cases);
    CompareWithAstropy(pointing::Target::Sun, cases);
    return 0;
}
