// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlanSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"

namespace {

// What a [Plan] section gives: usable values as written, anything else its default, locators that name
// no place left out.
TEST(PlanSettings, ReadsUsableValuesAndDefaultsTheRest) {
    struct Case {
        const char* section;
        std::vector<std::string> dx;
        long double frequency, minimum, dxMinimum;
        int days;
    };
    // clang-format off
    const Case cases[] = {
        {"",                                                                 {},                   1296,    5,   5,  1},
        {"[Plan]\nDX=FN20XR\n",                                              {"FN20XR"},           1296,    5,   5,  1},
        {"[plan]\ndx = fn20xr,PM95VR;KP20 \nfrequency=10368.1\nDays=30\n",   {"fn20xr", "PM95VR", "KP20"}, 10368.1, 5, 5, 30},
        {"[Plan]\nDX=J022IC FN2 FN20XR\nMinElevation=12.5\nDxMinElevation=0\n", {"FN20XR"},       1296,    12.5, 0, 1},
        {"[Plan]\nFrequency=-3\nMinElevation=90\nDxMinElevation=x\nDays=367\n", {},                1296,    5,   5,  1},
        {"[Plan]\nFrequency=1e9\nDays=0\n",                                  {},                   1296,    5,   5,  1},
        {"[Plan]\nDX=AA00 BB00 CC00 DD00 EE00 FF00 GG00 HH00 II00\n",        {"AA00", "BB00", "CC00", "DD00", "EE00", "FF00", "GG00", "HH00"}, 1296, 5, 5, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        test_support::TempDir dir;
        const std::string file = dir.File("lunark.ini");
        test_support::WriteFileBytes(file, std::string("[Lunark]\nLocator=JO22IC\n") + c.section);
        const PlanSettings::Settings settings = PlanSettings::Read(file);
        EXPECT_EQ(settings.dxLocators, c.dx);
        EXPECT_NEAR(settings.frequencyMhz, c.frequency, 1e-9L);
        EXPECT_EQ(settings.minElevation, c.minimum);
        EXPECT_EQ(settings.dxMinElevation, c.dxMinimum);
        EXPECT_EQ(settings.days, c.days);
    }
}

// The point that stands for a locator in planning: the centre of its sub-square, of its square for four
// characters, of the finer squares for eight and ten (worked out by hand from the grid's divisions).
TEST(PlanSettings, StationOfALocatorIsTheCentreOfItsSmallestSquare) {
    struct Case {
        const char* locator;
        long double latitude, longitudeEast;
    };
    // clang-format off
    const Case cases[] = {
        {"JO22IC",     52 + 2.5L * 2.5L / 60,  4 + 8.5L * 5.0L / 60},   // 52.1042 N, 4.7083 E
        {"FN20XR",     40 + 17.5L * 2.5L / 60, -76 + 23.5L * 5.0L / 60},  // 40.7292 N, 74.0417 W
        {"PM95",       35.5L,                  139.0L},                   // the centre of 138-140 E, 35-36 N
        {"re78ir",     -42 + 17.5L * 2.5L / 60, 174 + 8.5L * 5.0L / 60},  // south and east, small letters
        {"JO22IC45",   52 + 2 * 2.5L / 60 + 5.5L / 240, 4 + 8 * 5.0L / 60 + 4.5L / 120},
        {"JO22IC45AA", 52 + 2 * 2.5L / 60 + 5.0L / 240 + 0.5L / 5760, 4 + 8 * 5.0L / 60 + 4.0L / 120 + 0.5L / 2880},
        {"JO22IC4",    52 + 2.5L * 2.5L / 60,  4 + 8.5L * 5.0L / 60},   // an unfinished pair is not used
        {"JO22ICAB",   52 + 2.5L * 2.5L / 60,  4 + 8.5L * 5.0L / 60},   // nor one out of its range
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locator);
        const pointing::Station station = PlanSettings::StationOf(c.locator);
        EXPECT_NEAR(station.latitude, c.latitude, 1e-9L);
        EXPECT_NEAR(station.longitudeEast, c.longitudeEast, 1e-9L);
        EXPECT_EQ(station.heightMetres, 0);
    }
}

}  // namespace
