// SPDX-License-Identifier: GPL-3.0-or-later
#include "eme_plan.h"
#include "BuildPaths.h"

#include "csv_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kSecond = 1.0 / 86400;
constexpr long double kLightMetresPerSecond = 299792458.0L;

pointing::Station At(const std::string& latitude, const std::string& longitudeEast) {
    return {std::stold(latitude), std::stold(longitudeEast), 0};
}

// astropy's range rates (scripts/make-plan-reference.py) as Doppler shifts, against ours: within 5 Hz at
// 23 cm and 50 Hz at 3 cm, for one's own echo and for the DX station's reception. The largest differences
// are printed.
TEST(EmePlanDoppler, AgreesWithAstropysRangeRates) {
    const auto rows = ReadTable(LUNARK_PLAN_RANGE_RATES);
    ASSERT_GE(rows.size(), 500u);
    struct Band {
        long double megahertz, toleranceHz;
    };
    for (const Band band : {Band{1296, 5}, Band{10368, 50}}) {
        const long double hertz = band.megahertz * 1e6L;
        long double largestEcho = 0, largestDx = 0;
        for (const auto& row : rows) {
            SCOPED_TRACE(row[0] + " at " + std::to_string(static_cast<int>(band.megahertz)) + " MHz");
            const double day = std::stod(row[1]);
            const pointing::Station home = At(row[2], row[3]), dx = At(row[4], row[5]);
            const long double rateHome = std::stold(row[6]), rateDx = std::stold(row[7]);
            const long double echo = eme_plan::EchoDoppler(day, home, hertz);
            const long double received = eme_plan::DxDoppler(day, home, dx, hertz);
            EXPECT_NEAR(echo, -2 * hertz * rateHome / kLightMetresPerSecond, band.toleranceHz);
            EXPECT_NEAR(received, -hertz * (rateHome + rateDx) / kLightMetresPerSecond, band.toleranceHz);
            largestEcho = std::max(largestEcho, std::abs(echo + 2 * hertz * rateHome / kLightMetresPerSecond));
            largestDx = std::max(largestDx, std::abs(received + hertz * (rateHome + rateDx) / kLightMetresPerSecond));
        }
        std::printf("%zu instants at %.0Lf MHz: echo Doppler within %.3Lf Hz, DX Doppler within %.3Lf Hz of astropy\n",
                    rows.size(), band.megahertz, largestEcho, largestDx);
    }
}

// The same station at both ends hears its own echo; the echo takes the light time of twice the distance,
// and the path at the perigee distance has no loss over itself.
TEST(EmePlanDoppler, DxAtHomeIsTheEchoAndDistancesMakeDelayAndLoss) {
    const pointing::Station home{52.4, 4.9, 0};
    for (const double day : {44000.25, 46000.5, 47000.75}) {
        EXPECT_NEAR(eme_plan::DxDoppler(day, home, home, 1296e6L), eme_plan::EchoDoppler(day, home, 1296e6L), 1e-6);
        const long double distance =
            pointing::PrecisePosition(pointing::Target::Moon, day, home, pointing::Atmosphere{}).distanceKm;
        EXPECT_NEAR(eme_plan::EchoDelay(day, home), 2 * distance / 299792.458L, 1e-9);
        EXPECT_NEAR(eme_plan::PathLossOverPerigee(day, home, home), 40 * std::log10(distance / 356400.0L), 1e-9);
        // The Moon's distance keeps within 356 000 - 407 000 km of the Earth's centre, so the loss over
        // perigee stays between about -0.1 and 2.4 dB and the echo between 2.33 and 2.73 s.
        EXPECT_GT(eme_plan::PathLossOverPerigee(day, home, home), -0.3L);
        EXPECT_LT(eme_plan::PathLossOverPerigee(day, home, home), 2.5L);
        EXPECT_GT(eme_plan::EchoDelay(day, home), 2.3L);
        EXPECT_LT(eme_plan::EchoDelay(day, home), 2.75L);
    }
}

// astropy's mutual rises and sets through 5 degrees over a month for each of 30 station pairs
// (scripts/make-plan-reference.py, which looks closely enough to find every window longer than a few
// seconds): every one of them is an edge of one of our windows within a minute, and we find no edge it
// lacks. The largest difference is printed.
TEST(EmePlanWindows, EdgesAgreeWithAstropyWithinAMinute) {
    const auto rows = ReadTable(LUNARK_PLAN_WINDOWS);
    ASSERT_GE(rows.size(), 1000u);
    constexpr double kDays = 30;
    std::string searched;
    std::vector<eme_plan::Window> windows;
    std::size_t edges = 0, pairs = 0;
    double largest = 0;
    for (const auto& row : rows) {
        const std::string search = row[0] + row[1] + row[2] + row[3] + row[4];
        SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2] + " " + row[3] + " " + row[4] + " " + row[5]);
        if (search != searched) {
            searched = search;
            ++pairs;
            windows = eme_plan::MutualWindows(std::stod(row[0]), kDays, At(row[1], row[2]), At(row[3], row[4]), 5, 5);
            for (const auto& window : windows) edges += !window.startCut + !window.endCut;
        }
        const bool rise = row[5] == "rise";
        const double edge = std::stod(row[6]);
        double nearest = 1e9;
        for (const auto& window : windows) {
            if (rise && !window.startCut) nearest = std::min(nearest, std::abs(window.start - edge));
            if (!rise && !window.endCut) nearest = std::min(nearest, std::abs(window.end - edge));
        }
        EXPECT_LT(nearest, 60 * kSecond);
        largest = std::max(largest, nearest);
    }
    EXPECT_EQ(pairs, 30u);
    EXPECT_EQ(edges, rows.size());
    std::printf("%zu window edges of %zu station pairs within %.1f s of astropy\n", rows.size(), pairs,
                largest * 86400);
}

// A window open at the start of the search, or still open at its end, is cut there; inside a window both
// elevations keep above their minimums, and the highest elevations are reached within it.
TEST(EmePlanWindows, CutsAtTheSearchsEndsAndKeepsBothMoonsUp) {
    struct Case {
        pointing::Station home, dx;
        long double minimum, dxMinimum;
    };
    // clang-format off
    const Case cases[] = {
        {{52.4, 4.9, 0}, {40.7, -74.0, 0}, 5, 5},      // Amsterdam and New York
        {{-33.9, 151.2, 0}, {35.7, 139.7, 0}, 10, 0},  // Sydney and Tokyo
        {{52.4, 4.9, 0}, {52.4, 4.9, 0}, 2, 2},        // one station: its own Moon above 2 degrees
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.home.latitude);
        SCOPED_TRACE(c.dx.latitude);
        const double from = 46362.0;  // 2026-12-06 00:00 UTC
        const auto windows = eme_plan::MutualWindows(from, 7, c.home, c.dx, c.minimum, c.dxMinimum);
        ASSERT_FALSE(windows.empty());
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const eme_plan::Window& w = windows[i];
            EXPECT_LT(w.start, w.end);
            if (i > 0) {
                EXPECT_GT(w.start, windows[i - 1].end);
            }
            EXPECT_EQ(w.startCut, w.start == from);
            EXPECT_EQ(w.endCut, w.end == from + 7);
            EXPECT_GE(w.start, from);
            EXPECT_LE(w.end, from + 7);
            for (double t = w.start + kSecond; t < w.end - kSecond; t += (w.end - w.start) / 17) {
                const auto up = [&](const pointing::Station& s) {
                    return pointing::PrecisePosition(pointing::Target::Moon, t, s, pointing::Atmosphere{}).elevation;
                };
                EXPECT_GT(up(c.home), c.minimum - 1e-3L);
                EXPECT_GT(up(c.dx), c.dxMinimum - 1e-3L);
                EXPECT_GE(w.highest + 1e-6L, up(c.home));
                EXPECT_GE(w.dxHighest + 1e-6L, up(c.dx));
            }
            // An uncut edge is where one elevation crosses its minimum: a second outside it, the Moon is
            // below the minimum at one of the stations.
            const auto below = [&](double t) {
                const auto el = [&](const pointing::Station& s) {
                    return pointing::PrecisePosition(pointing::Target::Moon, t, s, pointing::Atmosphere{}).elevation;
                };
                return el(c.home) <= c.minimum || el(c.dx) <= c.dxMinimum;
            };
            if (!w.startCut) {
                EXPECT_TRUE(below(w.start - kSecond));
            }
            if (!w.endCut) {
                EXPECT_TRUE(below(w.end + kSecond));
            }
        }
    }
    EXPECT_THROW(eme_plan::MutualWindows(46362.0, 0, {}, {}, 5, 5), std::invalid_argument);
    EXPECT_THROW(eme_plan::MutualWindows(46362.0, 400, {}, {}, 5, 5), std::invalid_argument);
}

}  // namespace
