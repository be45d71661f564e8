// SPDX-License-Identifier: GPL-3.0-or-later
// The calendar against astropy (scripts/make-calendar-reference.py): three station pairs over 60 days, the
// highest elevation within 0.05 degree and its time within 2 minutes, the hours alone, together and under a
// horizon mask within 2 minutes, and the perigee and apogee days exact.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "BuildPaths.h"
#include "csv_table.h"
#include "eme_calendar.h"

namespace {

constexpr long double kHighestTolerance = 0.05L;
constexpr long double kHoursTolerance = 2.0L / 60;
const horizon_mask::Mask kReferenceMask({{0, 10}, {90, 25}, {180, 3}, {270, 15}});

struct Pair {
    pointing::Station home, dx;
    std::vector<std::vector<std::string>> days;
};

std::map<std::string, Pair> Pairs() {
    std::map<std::string, Pair> pairs;
    for (const auto& row : ReadTable(LUNARK_CALENDAR_REFERENCE)) {
        Pair& pair = pairs[row[1] + ',' + row[2] + ',' + row[3] + ',' + row[4]];
        pair.home = {std::stold(row[1]), std::stold(row[2]), 0};
        pair.dx = {std::stold(row[3]), std::stold(row[4]), 0};
        pair.days.push_back(row);
    }
    return pairs;
}

TEST(CalendarReference, DaysAgreeWithAstropy) {
    const std::map<std::string, Pair> pairs = Pairs();
    ASSERT_EQ(pairs.size(), 3u);
    for (const auto& [name, pair] : pairs) {
        SCOPED_TRACE(name);
        const double from = std::stod(pair.days.front()[0]);
        const int count = static_cast<int>(pair.days.size());
        eme_calendar::Request request{from, count, pair.home, {pair.dx}};
        const std::vector<eme_calendar::Day> days = eme_calendar::Calendar(request);
        request.dx.clear();
        request.mask = kReferenceMask;
        const std::vector<eme_calendar::Day> masked = eme_calendar::Calendar(request);
        ASSERT_EQ(days.size(), pair.days.size());
        int perigees = 0, apogees = 0;
        for (std::size_t i = 0; i < days.size(); ++i) {
            const auto& row = pair.days[i];
            SCOPED_TRACE(row[0]);
            EXPECT_DOUBLE_EQ(days[i].start, std::stod(row[0]));
            EXPECT_NEAR(days[i].highest, std::stold(row[5]), kHighestTolerance);
            EXPECT_NEAR(days[i].highestAt, std::stod(row[6]), 2.0 / 1440);
            EXPECT_NEAR(days[i].hoursUp, std::stold(row[7]), kHoursTolerance);
            EXPECT_NEAR(days[i].mutualHours.at(0), std::stold(row[8]), kHoursTolerance);
            EXPECT_NEAR(masked[i].hoursUp, std::stold(row[9]), kHoursTolerance);
            EXPECT_EQ(days[i].perigee, row[10] == "1");
            EXPECT_EQ(days[i].apogee, row[11] == "1");
            perigees += days[i].perigee;
            apogees += days[i].apogee;
        }
        // Sixty days hold two perigees and two apogees at least.
        EXPECT_GE(perigees, 2);
        EXPECT_GE(apogees, 2);
    }
}

}  // namespace
