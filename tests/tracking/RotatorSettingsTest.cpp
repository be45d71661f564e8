// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Journal.h"
#include "RotatorSettings.h"

namespace {

using RotatorSettings::BelowHorizon;
using RotatorSettings::BelowHorizonPolicy;
using RotatorSettings::ElevationRange;

TEST(RotatorSettingsText, AzimuthRangesFromTheStopAtNorthToOneAndAHalfTurns) {
    const struct {
        const char* text;
        std::optional<int32_t> range;
    } cases[] = {
        {"0-360", 360},          {"0-361", 361},           {"0-450", 450},           {"0-540", 540},
        {"0-541", std::nullopt}, {"0-359", std::nullopt},  {"10-450", std::nullopt}, {"0-", std::nullopt},
        {"-450", std::nullopt},  {"0 -450", std::nullopt}, {"0-450x", std::nullopt}, {"0--450", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(RotatorSettings::ParseAzimuthRange(c.text), c.range) << c.text;
}

TEST(RotatorSettingsText, ElevationRangesAndBelowHorizonPolicies) {
    const struct {
        const char* text;
        std::optional<ElevationRange> range;
    } ranges[] = {
        {"0-90", ElevationRange{0, 90}},
        {"5-85", ElevationRange{5, 85}},
        {"10-10", ElevationRange{10, 10}},
        {"0-180", ElevationRange{0, 180}},
        {"85-5", std::nullopt},
        {"0-181", std::nullopt},
        {"-5-90", std::nullopt},
        {"5", std::nullopt},
    };
    for (const auto& c : ranges) EXPECT_EQ(RotatorSettings::ParseElevationRange(c.text), c.range) << c.text;

    const struct {
        const char* text;
        std::optional<BelowHorizonPolicy> policy;
    } policies[] = {
        {"follow", BelowHorizonPolicy{}},
        {"wait", BelowHorizonPolicy{BelowHorizon::kWait, 0, 0}},
        {"park:180,10", BelowHorizonPolicy{BelowHorizon::kPark, 180, 10}},
        {"park:450,0", BelowHorizonPolicy{BelowHorizon::kPark, 450, 0}},
        {"park:541,0", std::nullopt},
        {"park:180,181", std::nullopt},
        {"park:180", std::nullopt},
        {"park:-5,10", std::nullopt},
        {"Follow", std::nullopt},
        {"park", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : policies) EXPECT_EQ(RotatorSettings::ParseBelowHorizon(c.text), c.policy) << c.text;
}

class RotatorSettingsFile : public ::testing::Test {
protected:
    Journal::Journal journal_;
    void SetUp() override {
        path_ = (std::filesystem::temp_directory_path() /
                 ("rotator-settings-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini"))
                    .string();
    }
    void TearDown() override { std::filesystem::remove(path_); }
    void Write(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
    std::string Read() const {
        std::ostringstream text;
        text << std::ifstream(path_, std::ios::binary).rdbuf();
        return text.str();
    }
    std::string path_;
};

TEST_F(RotatorSettingsFile, AMissingSectionOrUnusableValuesReadAsThePlainBehaviour) {
    EXPECT_EQ(RotatorSettings::Load(journal_, path_), RotatorSettings::Settings{});  // no file at all
    Write("[Lunark]\r\nLocator=JO22IC\r\n");
    EXPECT_EQ(RotatorSettings::Load(journal_, path_), RotatorSettings::Settings{});
    Write(
        "[rotator]\nAzimuthRange=0-600\nElevationRange=90-0\nBelowHorizon=sleep\nDeadband=-2\n"
        "IntervalSeconds=0x7FFFFFFF\nMoveWindow=70-10\nMoveWhen=sometimes\n");
    EXPECT_EQ(RotatorSettings::Load(journal_, path_), RotatorSettings::Settings{});
    // A window beyond the file's period moves at any time, as none would; the journal says why.
    journal_.Clear();
    Write("[Station]\nPeriod=30\n[Rotator]\nMoveWindow=50-59\n");
    EXPECT_EQ(RotatorSettings::Load(journal_, path_), RotatorSettings::Settings{});
    EXPECT_EQ(journal_.Entries().front().text,
              "Settings: [Rotator] MoveWindow=50-59 not used: Move window 50-59 does not fit the 30-second period: "
              "its seconds run from 0 to 29.");
}

// A hand-edited park the rotator cannot reach reads as not given, and the journal says why.
TEST_F(RotatorSettingsFile, AParkOutsideTheRangeReadsAsNotGiven) {
    const struct {
        const char* section;
        BelowHorizonPolicy policy;
        const char* journal;  // "" for none
    } cases[] = {
        {"AzimuthRange=0-450\nBelowHorizon=park:450,10\n", {BelowHorizon::kPark, 450, 10}, ""},
        {"AzimuthRange=0-450\nBelowHorizon=park:500,10\n",
         {},
         "Settings: [Rotator] BelowHorizon=park:500,10 not used: Park azimuth 500 lies outside the azimuth range "
         "0-450."},
        {"ElevationRange=5-85\nBelowHorizon=park:180,90\n",
         {},
         "Settings: [Rotator] BelowHorizon=park:180,90 not used: Park elevation 90 lies outside the elevation "
         "range 5-85."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        journal_.Clear();
        Write(std::string("[Rotator]\n") + c.section);
        EXPECT_EQ(RotatorSettings::Load(journal_, path_).belowHorizon, c.policy);
        EXPECT_EQ(journal_.Entries().empty() ? "" : journal_.Entries().front().text, c.journal);
    }
}

TEST_F(RotatorSettingsFile, WritesItsOwnSectionAndLeavesTheRestByteForByte) {
    const std::string lunark = "[Lunark]\r\nLocator=QF56OD\r\nTrackInterval=1\r\n";
    Write(lunark);
    const RotatorSettings::Settings settings{450, {5, 85}, {BelowHorizon::kPark, 180, 10}, 2, 10};
    RotatorSettings::Save(path_, settings);
    EXPECT_EQ(RotatorSettings::Load(journal_, path_), settings);
    EXPECT_EQ(Read(), lunark +
                          "[Rotator]\r\nAzimuthRange=0-450\r\nElevationRange=5-85\r\nBelowHorizon=park:180,10\r\n"
                          "Deadband=2\r\nIntervalSeconds=10\r\n");
    // The move keys are written while set, and emptied when turned off again.
    RotatorSettings::Settings moving = settings;
    moving.moveWindow = MoveWindow::Window{50, 59};
    moving.moveWhenNotTransmitting = true;
    RotatorSettings::Save(path_, moving);
    EXPECT_EQ(RotatorSettings::Load(journal_, path_), moving);
    RotatorSettings::Save(path_, settings);
    EXPECT_EQ(RotatorSettings::Load(journal_, path_), settings);
    EXPECT_NE(Read().find("MoveWindow=\r\nMoveWhen=\r\n"), std::string::npos);
}

}  // namespace

namespace {

TEST(RotatorSettingsText, OnlyRangesAndPoliciesPointElsewhereThanThePlainPosition) {
    RotatorSettings::Settings settings;
    EXPECT_TRUE(RotatorSettings::PointsPlainly(settings));
    settings.deadband = 2;
    settings.intervalSeconds = 10;
    EXPECT_TRUE(RotatorSettings::PointsPlainly(settings));  // they change when, not where
    for (const auto& change : std::vector<void (*)(RotatorSettings::Settings&)>{
             [](RotatorSettings::Settings& s) { s.azimuthRange = 450; },
             [](RotatorSettings::Settings& s) { s.elevation.maximum = 90; },
             [](RotatorSettings::Settings& s) { s.elevation.minimum = 5; },
             [](RotatorSettings::Settings& s) { s.belowHorizon.policy = BelowHorizon::kWait; }}) {
        RotatorSettings::Settings changed;
        change(changed);
        EXPECT_FALSE(RotatorSettings::PointsPlainly(changed));
    }
}

}  // namespace
