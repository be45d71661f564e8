// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "PointingSettings.h"
#include "TempDir.h"

namespace {

// Centres worked by hand: JO22IC's corner is 4°40′ E, 52°05′ N; the extended square "45" adds 4 × 30″ of
// longitude and 5 × 15″ of latitude, its centre half of 30″ × 15″ more; "AA" on top of that takes the
// first 1.25″ × 0.625″ of it.
TEST(LocatorCentre, CentreOfEightAndTenCharacterLocators) {
    struct Case {
        const char* locator;
        long double latitude, longitudeEast;
    };
    const Case cases[] = {
        {"JO22IC45", 52.0L + 5.0L / 60 + 75.0L / 3600 + 7.5L / 3600, 4.0L + 40.0L / 60 + 120.0L / 3600 + 15.0L / 3600},
        {"jo22ic45", 52.0L + 5.0L / 60 + 75.0L / 3600 + 7.5L / 3600, 4.0L + 40.0L / 60 + 120.0L / 3600 + 15.0L / 3600},
        {"JO22IC45AA", 52.0L + 5.0L / 60 + 75.0L / 3600 + 0.3125L / 3600,
         4.0L + 40.0L / 60 + 120.0L / 3600 + 0.625L / 3600},
        {"AA00AA00", -90.0L + 7.5L / 3600, -180.0L + 15.0L / 3600},
        {"RR99XX99XX", 90.0L - 0.3125L / 3600, 180.0L - 0.625L / 3600},
        {"FN31pr21", 41.0L + 17.0L * 2.5L / 60 + 1.0L / 240 + 1.0L / 480,
         -74.0L + 15.0L * 5.0L / 60 + 2.0L / 120 + 1.0L / 240},
    };
    for (const Case& c : cases) {
        const auto station = PointingSettings::LocatorCentre(c.locator);
        ASSERT_TRUE(station.has_value()) << c.locator;
        EXPECT_NEAR(station->latitude, c.latitude, 1e-12L) << c.locator;
        EXPECT_NEAR(station->longitudeEast, c.longitudeEast, 1e-12L) << c.locator;
    }
    for (const char* bad : {"", "JO22IC", "JO22IC4", "JO22IC4A", "JS22IC45", "JO22IY45", "JO2AIC45", "JO22IC45A",
                            "JO22IC45AY", "JO22IC45A1", "JO22IC45AAA"}) {
        EXPECT_FALSE(PointingSettings::LocatorCentre(bad).has_value()) << bad;
    }
}

// An exact place outside the locator's smallest square is named with its great-circle distance from the
// square's centre (astropy's angular separation times 6371 km): Helsinki against QF56OD, whose centre is
// 33.8542 S, 151.2083 E in Sydney, 15199 km; a place 0.0001° east of JO22IC's sub-square, 2.89 km; a place
// west of the square JO22, 74.46 km from 52.5 N, 5 E.
TEST(PlaceAgainstLocator, NamesAPlaceOutsideTheLocatorsSquareAndItsDistance) {
    const struct {
        std::optional<pointing::Station> place;
        const char* locator;
        const char* note;
    } cases[] = {
        {pointing::Station{60.1699L, 24.9384L, 0}, "QF56OD",
         "outside the locator's square QF56OD, 15199 km from its centre"},
        {pointing::Station{52.10L, 4.7501L, 0}, "JO22IC", "outside the locator's square JO22IC, 3 km from its centre"},
        {pointing::Station{52.5L, 3.9L, 0}, "JO22", "outside the locator's square JO22, 74 km from its centre"},
        {pointing::Station{52.10L, 4.7499L, 0}, "JO22IC", ""},  // inside
        {pointing::Station{52.5L, 4.1L, 0}, "JO22", ""},
        {std::nullopt, "QF56OD", ""},                              // no exact place
        {pointing::Station{60.1699L, 24.9384L, 0}, "J022IC", ""},  // no locator to speak of
    };
    for (const auto& c : cases) {
        PointingSettings::Settings settings;
        settings.station = c.place;
        EXPECT_EQ(PointingSettings::PlaceAgainstLocator(settings, c.locator), c.note) << c.locator;
    }
}

TEST(PointingSettingsFile, ReadsTheSectionAndFallsBackToTheDefaults) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    struct Case {
        const char* section;
        bool precise;
        pointing::Target target;
        bool station;
        long double latitude, longitudeEast, height;
        bool refraction;
        long double temperature, pressure;
    };
    using pointing::Target;
    // clang-format off
    const Case cases[] = {
        {"", false, Target::Moon, false, 0, 0, 0, false, 10, 1010},
        {"[Pointing]\nPrecise=1\nTarget=Sun\nLatitude=-33.9\nLongitude=18.4\nHeight=40\nRefraction=1\n"
         "Temperature=-5.5\nPressure=850\n", true, Target::Sun, true, -33.9L, 18.4L, 40, true, -5.5L, 850},
        {"[pointing]\nprecise=1\ntarget=SUN\n", true, Target::Sun, false, 0, 0, 0, false, 10, 1010},
        // Without both coordinates, the long locator; the height still counts.
        {"[Pointing]\nLatitude=52\nLocator=JO22IC45\nHeight=12.5\n", false, Target::Moon, true,
         52.0L + 5.0L / 60 + 82.5L / 3600, 4.0L + 40.0L / 60 + 135.0L / 3600, 12.5L, false, 10, 1010},
        // Unusable values take their defaults.
        {"[Pointing]\nPrecise=yes\nTarget=Mars\nLatitude=95\nLongitude=4\nLocator=JO22\nHeight=1e6\n"
         "Temperature=hot\nPressure=-3\n", false, Target::Moon, false, 0, 0, 0, false, 10, 1010},
        {"[Pointing]\nLatitude= 52.5 \nLongitude=+4.25\nHeight=-600\nPressure=0\n", false, Target::Moon, true,
         52.5L, 4.25L, 0, false, 10, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        test_support::WriteFileBytes(file, std::string("[Lunark]\nLocator=JO22IC\n") + c.section);
        const PointingSettings::Settings s = PointingSettings::Read(file);
        EXPECT_EQ(s.precise, c.precise);
        EXPECT_EQ(s.target, c.target);
        ASSERT_EQ(s.station.has_value(), c.station);
        if (c.station) {
            EXPECT_NEAR(s.station->latitude, c.latitude, 1e-12L);
            EXPECT_NEAR(s.station->longitudeEast, c.longitudeEast, 1e-12L);
            EXPECT_EQ(s.station->heightMetres, c.height);
        }
        EXPECT_EQ(s.atmosphere.refraction, c.refraction);
        EXPECT_EQ(s.atmosphere.temperatureCelsius, c.temperature);
        EXPECT_EQ(s.atmosphere.pressureHpa, c.pressure);
    }
    EXPECT_FALSE(PointingSettings::Read(dir.File("missing.ini")).precise);
}

}  // namespace
