// SPDX-License-Identifier: GPL-3.0-or-later
// The EME path's figures against astropy's (scripts/make-path-reference.py): 200 instants for 10 station
// pairs at 144, 432, 1296 and 10368 MHz.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "BuildPaths.h"
#include "csv_table.h"
#include "eme_path.h"
#include "sky_temperature.h"

namespace {

// The table's columns, in its order.
// clang-format off
enum Column {
    kUtc, kDayNumber, kLatA, kLonA, kLatB, kLonB, kMegahertz, kSpreadA, kSpreadB, kDxSpread, kOffset, kSunMoonA,
    kSunMoonB, kLambdaA, kLambdaB, kSkyA, kSkyB, kDegradationA, kDegradationB, kDopplerRateA, kColumns
};
// clang-format on

// A longitude this close to a bin's edge may fall on either side of it: the two theories differ by
// a few thousandths of a degree.
constexpr long double kBinEdgeMargin = 0.01L;

long double Value(const std::vector<std::string>& row, Column column) {
    return std::stold(row[column]);
}

bool NearBinEdge(long double longitude) {
    const long double fromEdge = std::fabs(std::remainder(longitude - 1, 2.0L));
    return fromEdge < kBinEdgeMargin;
}

// The largest difference seen of one figure, printed at the end.
struct Worst {
    const char* name;
    long double difference = 0;
    void Take(long double ours, long double theirs) { difference = std::max(difference, std::fabs(ours - theirs)); }
};

// Spread within 2 % or 0.1 Hz, polarisation offset within 0.1°, Sun-Moon angle within 0.01°, sky temperature
// the table's (but at a bin's edge), degradation within 0.05 dB, Doppler rate within 1 % or 0.005 Hz/s.
TEST(EmePathReference, FiguresAgreeWithAstropy) {
    const auto rows = ReadTable(LUNARK_PATH_REFERENCE);
    ASSERT_EQ(rows.size(), 2000u);
    Worst spread{"spread (Hz)"}, offset{"polarisation offset (deg)"}, sunMoon{"Sun-Moon angle (deg)"},
        degradation{"degradation (dB)"}, dopplerRate{"Doppler rate (Hz/s)"};
    int skippedAtEdges = 0;
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), static_cast<std::size_t>(kColumns));
        SCOPED_TRACE(row[kUtc] + " " + row[kLatA] + "," + row[kLonA] + " - " + row[kLatB] + "," + row[kLonB] + " at " +
                     row[kMegahertz] + " MHz");
        const long double hertz = Value(row, kMegahertz) * 1e6L;
        const pointing::Station home{Value(row, kLatA), Value(row, kLonA), 0},
            dx{Value(row, kLatB), Value(row, kLonB), 0};
        const eme_path::PathFigures path = eme_path::PathAt(std::stod(row[kDayNumber]), home, dx, hertz);
        const auto nearSpread = [&](long double ours, Column column) {
            const long double theirs = Value(row, column);
            EXPECT_NEAR(ours, theirs, std::max(0.1L, 0.02L * theirs)) << row[0];
            spread.Take(ours, theirs);
        };
        nearSpread(path.home.spreadHz, kSpreadA);
        nearSpread(path.dx.spreadHz, kSpreadB);
        nearSpread(path.dxSpreadHz, kDxSpread);
        const long double offsetDifference =
            eme_path::FoldedPolarisation(path.polarisationOffsetDegrees - Value(row, kOffset));
        EXPECT_NEAR(offsetDifference, 0, 0.1L);
        offset.Take(offsetDifference, 0);
        for (const auto& [ours, column] :
             {std::pair{path.home.sunMoonDegrees, kSunMoonA}, {path.dx.sunMoonDegrees, kSunMoonB}}) {
            EXPECT_NEAR(ours, Value(row, column), 0.01L);
            sunMoon.Take(ours, Value(row, column));
        }
        struct Side {
            const eme_path::StationFigures& figures;
            Column lambda, sky, degradation;
        };
        for (const Side side :
             {Side{path.home, kLambdaA, kSkyA, kDegradationA}, Side{path.dx, kLambdaB, kSkyB, kDegradationB}}) {
            if (NearBinEdge(Value(row, side.lambda))) {
                ++skippedAtEdges;
            } else {
                EXPECT_NEAR(side.figures.skyKelvin, Value(row, side.sky), 0.0005L);
                EXPECT_NEAR(side.figures.degradationDb, Value(row, side.degradation), 0.05L);
                degradation.Take(side.figures.degradationDb, Value(row, side.degradation));
            }
        }
        const long double rate = Value(row, kDopplerRateA);
        EXPECT_NEAR(path.home.dopplerRateHzPerSecond, rate, std::max(0.005L, 0.01L * std::fabs(rate)));
        dopplerRate.Take(path.home.dopplerRateHzPerSecond, rate);
    }
    for (const Worst& worst : {spread, offset, sunMoon, degradation, dopplerRate})
        std::printf("%s: within %.4Lf of astropy\n", worst.name, worst.difference);
    std::printf("%d sky temperatures at a bin's edge not compared\n", skippedAtEdges);
}

}  // namespace
