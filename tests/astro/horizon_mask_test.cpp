// SPDX-License-Identifier: GPL-3.0-or-later
// The horizon mask: straight lines between its points and through north, the span along an arc, the text
// it is typed as (garbage refused with a sentence), and the calendar's rating of a day.
#include <gtest/gtest.h>

#include "eme_calendar.h"
#include "horizon_mask.h"

namespace {

TEST(HorizonMask, ElevationBetweenPointsAndThroughNorth) {
    const horizon_mask::Mask mask({{270, 15}, {90, 25}, {0, 10}, {180, 3}});
    const struct {
        long double azimuth, elevation;
    } cases[] = {
        {0, 10},   {45, 17.5},  {90, 25},  {135, 14},   {180, 3},    {225, 9},
        {270, 15}, {315, 12.5}, {360, 10}, {-45, 12.5}, {405, 17.5},
    };
    for (const auto& c : cases) EXPECT_NEAR(mask.ElevationAt(c.azimuth), c.elevation, 1e-12) << c.azimuth;
    // Without a point at north the line from the last point wraps to the first.
    const horizon_mask::Mask wrap({{30, 10}, {330, 20}});
    EXPECT_NEAR(wrap.ElevationAt(0), 15, 1e-12);
    EXPECT_NEAR(wrap.ElevationAt(350), 50.0L / 3, 1e-12);
    EXPECT_NEAR(wrap.ElevationAt(20), 35.0L / 3, 1e-12);
    EXPECT_EQ(horizon_mask::Mask({{100, 7}}).ElevationAt(300), 7);
    // Empty: nothing hidden, the minimum stands.
    EXPECT_EQ(horizon_mask::Mask().Lowest(123, 5), 5);
    EXPECT_EQ(mask.Lowest(90, 5), 25);
    EXPECT_EQ(mask.Lowest(180, 5), 5);
}

TEST(HorizonMask, SpanAlongTheShorterArcHoldsThePointsWithin) {
    const horizon_mask::Mask mask({{0, 10}, {90, 25}, {180, 3}, {270, 15}});
    const struct {
        long double from, to, low, high;
    } cases[] = {
        {80, 100, 203.0L / 9, 25},       // the point at 90 inside
        {100, 80, 203.0L / 9, 25},       // either way round
        {350, 10, 10, 35.0L / 3},        // through north
        {10, 20, 35.0L / 3, 40.0L / 3},  // no point inside: the ends
        {170, 190, 3, 49.0L / 9},
    };
    for (const auto& c : cases) {
        const auto span = mask.Along(c.from, c.to);
        EXPECT_NEAR(span.low, c.low, 1e-12) << c.from << "-" << c.to;
        EXPECT_NEAR(span.high, c.high, 1e-12) << c.from << "-" << c.to;
    }
}

TEST(HorizonMask, TextIsReadBackAndGarbageRefusedWithASentence) {
    const horizon_mask::Parsed read = horizon_mask::Parse(" 270:15, 0:10 ,90:25.5,180:3");
    EXPECT_EQ(read.problem, "");
    EXPECT_EQ(horizon_mask::Text(read.mask), "0:10,90:25.5,180:3,270:15");
    EXPECT_EQ(horizon_mask::Parse(horizon_mask::Text(read.mask)).mask, read.mask);
    EXPECT_TRUE(horizon_mask::Parse("").mask.Empty());
    EXPECT_TRUE(horizon_mask::Parse("  ").problem.empty());
    const struct {
        const char* text;
        const char* problem;
    } refused[] = {
        {"90", "The horizon mask's point 1, \"90\", is not AZ:EL, e.g. 120:15"},
        {"90:10,", "The horizon mask's point 2, \"\", is not AZ:EL, e.g. 120:15"},
        {"90:10,x:5", "The horizon mask's point 2, \"x:5\", is not AZ:EL, e.g. 120:15"},
        {"90:1e999", "The horizon mask's point 1, \"90:1e999\", is not AZ:EL, e.g. 120:15"},
        {"nan:5", "The horizon mask's point 1, \"nan:5\", is not AZ:EL, e.g. 120:15"},
        {"360:5", "The horizon mask's point \"360:5\" has an azimuth outside 0 to under 360 degrees"},
        {"-1:5", "The horizon mask's point \"-1:5\" has an azimuth outside 0 to under 360 degrees"},
        {"10:91", "The horizon mask's point \"10:91\" has an elevation outside 0 to 90 degrees"},
        {"10:5,10:7", "The horizon mask has two points at azimuth 10"},
    };
    for (const auto& r : refused) {
        const horizon_mask::Parsed parsed = horizon_mask::Parse(r.text);
        EXPECT_EQ(parsed.problem, r.problem) << r.text;
        EXPECT_TRUE(parsed.mask.Empty()) << r.text;
    }
    EXPECT_THROW(horizon_mask::Mask({{400, 5}}), std::invalid_argument);
}

TEST(EmeCalendar, RatingOfTheDegradation) {
    using eme_calendar::Rating;
    const struct {
        long double db;
        Rating rating;
        const char* name;
    } cases[] = {
        {-0.3L, Rating::Excellent, "excellent"},
        {1.49L, Rating::Excellent, "excellent"},
        {1.5L, Rating::Good, "good"},
        {2.49L, Rating::Good, "good"},
        {2.5L, Rating::Fair, "fair"},
        {3.99L, Rating::Fair, "fair"},
        {4, Rating::Poor, "poor"},
        {5.49L, Rating::Poor, "poor"},
        {5.5L, Rating::VeryPoor, "very poor"},
        {12, Rating::VeryPoor, "very poor"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(eme_calendar::RatingOf(c.db), c.rating) << c.db;
        EXPECT_STREQ(eme_calendar::RatingName(eme_calendar::RatingOf(c.db)), c.name);
    }
}

TEST(EmeCalendar, RefusesWhatItCannotList) {
    eme_calendar::Request request{46363, 0, {52, 4, 0}, {}};
    EXPECT_THROW(eme_calendar::Calendar(request), std::invalid_argument);
    request.days = 367;
    EXPECT_THROW(eme_calendar::Calendar(request), std::invalid_argument);
    request.days = 1;
    request.frequencyHz = 0;
    EXPECT_THROW(eme_calendar::Calendar(request), std::invalid_argument);
}

}  // namespace
