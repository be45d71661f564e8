// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "Targets.h"

namespace {

// A body is found by its whole name in any letter case, and by nothing else; a fixed direction is
// a target of its own kind, never a body.
TEST(Targets, NamesTheBodiesAndNothingElse) {
    struct Case {
        const char* name;
        std::optional<pointing::Target> body;
    };
    const Case cases[] = {
        {"Moon", pointing::Target::Moon},
        {"mOON", pointing::Target::Moon},
        {"SUN", pointing::Target::Sun},
        {"Mo", std::nullopt},
        {"Moons", std::nullopt},
        {" Sun", std::nullopt},
        {"", std::nullopt},
        {"fixed", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Targets::Target> target = Targets::BodyNamed(c.name);
        ASSERT_EQ(target.has_value(), c.body.has_value());
        if (target) {
            EXPECT_TRUE(target->IsBody(*c.body));
            EXPECT_EQ(Targets::BodyNamed(Targets::Name(*target)), target);  // the name leads back to it
        }
    }
    const Targets::Target park = Targets::Fixed(212.5L, 3.0L);
    EXPECT_EQ(Targets::Name(park), "fixed");
    EXPECT_FALSE(park.IsBody(pointing::Target::Moon));
    EXPECT_NE(park, Targets::Target());
    EXPECT_EQ(Targets::BodyNamesJoined(), "Moon or Sun");
}

// A fixed direction stands where it was put, for any station and time; a body stands where the
// astronomy puts it, each body by its own theory: the Sun's declination at the 2023 June solstice
// (21 June 14:58 UTC) is the obliquity, 23.44°, and 0 at the March equinox (20 March 21:24 UTC).
TEST(Targets, EachTargetStandsWhereItsOwnRulePutsIt) {
    const pointing::Station station{52.09L, 4.67L, 0.0L};
    const Targets::Target park = Targets::Fixed(212.5L, 3.0L);
    for (const double day : {45005.89, 45098.62}) {
        const pointing::Direction direction = Targets::DirectionOf(park, day, station, pointing::Atmosphere{});
        EXPECT_EQ(direction.azimuth, 212.5L);
        EXPECT_EQ(direction.elevation, 3.0L);
        EXPECT_FALSE(Targets::PlaceOf(park, day).has_value());  // no place in the sky
    }
    EXPECT_NEAR(Targets::PlaceOf(pointing::Target::Sun, 45098.6236)->declination, 23.44L, 0.01L);
    EXPECT_NEAR(Targets::PlaceOf(pointing::Target::Sun, 45005.8917)->declination, 0.0L, 0.01L);
    const long double rightAscension = Targets::PlaceOf(pointing::Target::Sun, 45005.8917)->rightAscension;
    EXPECT_LT(std::min(rightAscension, 360.0L - rightAscension), 0.02L);  // reduced to [0, 360)
}

}  // namespace
