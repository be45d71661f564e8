// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "BuildPaths.h"
#include "PlanSettings.h"
#include "RadioTracking.h"
#include "eme_plan.h"

namespace {

constexpr long long kSkedHz = 10368000000;
// The Moon's range rate from the truncated lunar theory differs from astropy's by up to 0.15 m/s over a
// month, 5.1 Hz of one-way Doppler at 10368 MHz.
constexpr long double kOneWayHz = 5.5L;

// Every row of astropy's range rates (scripts/make-doppler-reference.py), turned into the one-way
// Doppler at 10368 MHz: each station's Doppler stays within kOneWayHz of astropy's, and each mode's
// receive and transmit frequencies within that for every one-way Doppler they add (own echo twice).
TEST(RadioDopplerReference, EachModesFrequenciesAgreeWithAstropyAt10GHz) {
    std::ifstream table(LUNARK_RADIO_DOPPLER);
    ASSERT_TRUE(table) << LUNARK_RADIO_DOPPLER;
    int rows = 0;
    long double worst = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line.front() == '#' || line.starts_with("utc")) continue;
        std::istringstream fields(line);
        std::string utc, day, home, dx, rateHome, rateDx;
        std::getline(fields, utc, ',');
        std::getline(fields, day, ',');
        std::getline(fields, home, ',');
        std::getline(fields, dx, ',');
        std::getline(fields, rateHome, ',');
        std::getline(fields, rateDx, ',');
        const auto astropy = [](const std::string& metresPerSecond) {
            return -kSkedHz * std::stold(metresPerSecond) / 1000 / eme_plan::kLightKmPerSecond;
        };
        const RadioSettings::Doppler reference{astropy(rateHome), astropy(rateDx)};
        const RadioSettings::Doppler lunark = RadioTracking::DopplerAt(std::stod(day), PlanSettings::StationOf(home),
                                                                       PlanSettings::StationOf(dx), kSkedHz);
        EXPECT_NEAR(lunark.home, reference.home, kOneWayHz) << utc << ' ' << home;
        EXPECT_NEAR(lunark.dx, reference.dx, kOneWayHz) << utc << ' ' << dx;
        worst = std::max({worst, std::abs(lunark.home - reference.home), std::abs(lunark.dx - reference.dx)});
        for (const RadioSettings::ModeRow& mode : RadioSettings::kModes) {
            if (mode.mode == RadioSettings::Mode::kNone) continue;
            RadioSettings::Settings settings;
            settings.skedHz = kSkedHz;
            settings.mode = mode.mode;
            const auto expected = RadioSettings::Tune(settings, reference);
            const auto actual = RadioSettings::Tune(settings, lunark);
            ASSERT_TRUE(expected && actual);
            const int receiveTerms = std::abs(mode.receiveHome) + std::abs(mode.receiveDx);
            const int transmitTerms = std::abs(mode.transmitHome) + std::abs(mode.transmitDx);
            // Each frequency is rounded to the hertz on both sides.
            EXPECT_LE(std::llabs(actual->receive - expected->receive), receiveTerms * kOneWayHz + 1)
                << utc << ' ' << home << ' ' << dx << ' ' << mode.name;
            EXPECT_LE(std::llabs(actual->transmit - expected->transmit), transmitTerms * kOneWayHz + 1)
                << utc << ' ' << home << ' ' << dx << ' ' << mode.name;
        }
        ++rows;
    }
    EXPECT_EQ(rows, 960);
    std::printf("%d instants: one-way Doppler at 10368 MHz within %.2Lf Hz of astropy\n", rows, worst);
}

}  // namespace
