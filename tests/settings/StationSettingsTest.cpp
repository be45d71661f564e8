// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationSettings.h"

#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"

namespace {

using test_support::ReadFileBytes;
using test_support::WriteFileBytes;

TEST(StationSection, LogIsOnUnlessLogIsZero) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    const struct {
        const char* content;
        bool enabled;
    } cases[] = {
        {"", true},
        {"[Station]\nLog=0\n", false},
        {"[station]\nlog = 0\n", false},
        {"[Station]\nLog=$0\n", false},
        {"[Station]\nLog=1\n", true},
        {"[Station]\nLog=no\n", true},  // not a number: the default
        {"[Lunark]\nLog=0\n", true},    // another section's key
    };
    for (const auto& c : cases) {
        WriteFileBytes(file, c.content);
        EXPECT_EQ(StationSettings::LogEnabled(file), c.enabled) << c.content;
    }
    EXPECT_TRUE(StationSettings::LogEnabled(dir.File("missing.ini")));
}

// Retries are off unless a whole number of seconds within the hour is given.
TEST(StationSection, RetrySecondsWithinTheHourOrNone) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    const struct {
        const char* value;
        int32_t seconds;
    } cases[] = {
        {"5", 5}, {" 3600 ", 3600}, {"0", 0}, {"3601", 0}, {"-5", 0}, {"ten", 0}, {"", 0},
    };
    for (const auto& c : cases) {
        WriteFileBytes(file, std::string("[Station]\nRetrySeconds=") + c.value + "\n");
        EXPECT_EQ(StationSettings::RetrySeconds(file), c.seconds) << c.value;
    }
    EXPECT_EQ(StationSettings::RetrySeconds(dir.File("missing.ini")), 0);
}

TEST(StationSection, WindowPlaceIsStoredBesideTheLunarkKeysWithoutTouchingThem) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    const std::string lunark = "[Lunark]\r\nLocator=JO22IC\r\nTop=100\r\nLeft=100\r\n";
    WriteFileBytes(file, lunark);
    EXPECT_FALSE(StationSettings::ReadWindowPlace(file).has_value());
    StationSettings::WriteWindowPlace(file, {-20, 300, 640, 720});
    EXPECT_EQ(ReadFileBytes(file), lunark + "[Station]\r\nLeft=-20\r\nTop=300\r\nWidth=640\r\nHeight=720\r\n");
    const auto place = StationSettings::ReadWindowPlace(file);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->Left, -20);
    EXPECT_EQ(place->Top, 300);
    EXPECT_EQ(place->Width, 640);
    EXPECT_EQ(place->Height, 720);

    for (const char* partial : {"[Station]\nLeft=1\nTop=2\nWidth=3\n", "[Station]\nLeft=1\nTop=2\nWidth=0\nHeight=5\n",
                                "[Station]\nLeft=x\nTop=2\nWidth=3\nHeight=5\n"}) {
        WriteFileBytes(file, partial);
        EXPECT_FALSE(StationSettings::ReadWindowPlace(file).has_value()) << partial;
    }
}

}  // namespace
