// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "Location.h"
#include "Position.h"
#include "Protocols.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// The Moon stands where the test puts it and remembers what it was asked.
long double moonAzimuth = 0.0L, moonElevation = 0.0L;
double askedDay = 0.0;
long double askedLongitude = 0.0L, askedLatitude = 0.0L;
void FixedMoon(double day, long double longitudeWest, long double latitude, long double& el, long double& az) {
    askedDay = day;
    askedLongitude = longitudeWest;
    askedLatitude = latitude;
    if (moonAzimuth == 666.0L) throw std::overflow_error("Floating point overflow");
    el = moonElevation;
    az = moonAzimuth;
}

class PositionUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        previousMoon_ = Position::SetMoonPosition(FixedMoon);
        previousClock_ = Location::SetClock([] { return sys_days{2023y / March / 22} + 12h; });
        Unit3::Locator = "JO22IC";
        Unit3::AZoffset = Unit3::ELoffset = 0;
    }
    void TearDown() override {
        Position::SetMoonPosition(previousMoon_);
        Location::SetClock(previousClock_);
    }
    static void UpdateWith(long double azimuth, long double elevation) {
        moonAzimuth = azimuth;
        moonElevation = elevation;
        Position::UpdatePosition();
    }

private:
    Position::MoonPositionFunction previousMoon_ = nullptr;
    Location::ClockFunction previousClock_;
};

TEST_F(PositionUpdate, AsksForTheMoonAtTheClocksInstantAndTheLocatorsPosition) {
    UpdateWith(100.0L, 20.0L);
    EXPECT_DOUBLE_EQ(askedDay, 45007.5);
    EXPECT_NEAR(static_cast<double>(askedLongitude), -(4.0 + 8.0 / 12.0), 1e-12);
    EXPECT_NEAR(static_cast<double>(askedLatitude), 52.0 + 2.0 / 24.0, 1e-12);
}

// The [Pointing] section, read from the settings file at every update: absent, the Moon computation
// above; with the Sun or precise mode, the precise path, whose results are checked against astropy's
// topocentric positions (get_body to AltAz, pressure 0) for 2023-03-22 12:00 UTC.
TEST_F(PositionUpdate, PointingSectionOfTheSettingsFileSwitchesTheComputation) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");
    struct Case {
        const char* section;
        bool sun;
        long double azimuth, elevation;  // astropy; NaN: the stand-in Moon of this test
        int32_t roundedAzimuth, roundedElevation;
    };
    constexpr long double kStandIn = std::numeric_limits<long double>::quiet_NaN();
    const Case cases[] = {
        {"", false, kStandIn, kStandIn, 100, 20},
        {"[Pointing]\nTarget=Sun\n", true, 183.7493L, 38.4912L, 184, 38},  // JO22IC's corner
        {"[Pointing]\nPrecise=1\nLatitude=52.1\nLongitude=4.7\nHeight=10\n", false, 170.2843L, 39.6894L, 170, 40},
        {"[Pointing]\nPrecise=0\nLatitude=52.1\nLongitude=4.7\n", false, kStandIn, kStandIn, 100, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        test_support::WriteFileBytes(dir.File("lunark.ini"), std::string("[Lunark]\nLocator=JO22IC\n") + c.section);
        UpdateWith(100.0L, 20.0L);
        EXPECT_EQ(Position::FollowedTarget.IsBody(pointing::Target::Sun), c.sun);
        EXPECT_EQ(Position::Azimuth, c.roundedAzimuth);
        EXPECT_EQ(Position::Elevation, c.roundedElevation);
        EXPECT_EQ(Position::AZvalue, Protocols::CommandValue(c.roundedAzimuth));
        EXPECT_EQ(Position::ELvalue, Protocols::CommandValue(c.roundedElevation));
        if (!std::isnan(c.azimuth)) {
            EXPECT_NEAR(Position::TargetAzimuth, c.azimuth, 0.02L);
            EXPECT_NEAR(Position::TargetElevation, c.elevation, 0.02L);
        }
    }
    Unit3::ExecutablePath.clear();
}

// Rounding (ties to even), offsets, the single lift by 360, the clamp at 0 and zero padding.
TEST_F(PositionUpdate, RoundsOffsetsAndFormatsBothAxes) {
    struct Case {
        long double azimuth, elevation;
        int32_t azOffset, elOffset;
        const char *azimuthLine, *elevationLine, *azValue, *elValue;
        int32_t azTarget, elTarget;
    };
    const Case cases[] = {
        {7.4L, 9.6L, 0, 0, "Azimuth:   7", "Elevation: 10", "007", "010", 7, 10},
        {359.5L, 0.5L, 0, 0, "Azimuth:   360", "Elevation: 0", "360", "000", 360, 0},
        {1.5L, -2.5L, 0, 0, "Azimuth:   2", "Elevation: -2", "002", "000", 2, 0},
        {2.5L, 3.5L, 0, 0, "Azimuth:   2", "Elevation: 4", "002", "004", 2, 4},
        {0.49999L, 89.50001L, 0, 0, "Azimuth:   0", "Elevation: 90", "000", "090", 0, 90},
        {350.0L, 30.0L, 15, 0, "Azimuth:   350", "Elevation: 30", "365", "030", 365, 30},  // no wrap downwards
        {5.0L, 30.0L, -10, 0, "Azimuth:   5", "Elevation: 30", "355", "030", 355, 30},
        {200.0L, -12.0L, 0, 0, "Azimuth:   200", "Elevation: -12", "200", "000", 200, 0},
        {200.0L, 45.0L, 0, -50, "Azimuth:   200", "Elevation: 45", "200", "000", 200, 0},
        {99.0L, 45.0L, 1, 955, "Azimuth:   99", "Elevation: 45", "100", "1000", 100, 1000},
        {10.0L, 5.0L, -375, 0, "Azimuth:   10", "Elevation: 5", "0-5", "005", -5, 5},  // lifted once only
        {10.0L, 5.0L, -470, 0, "Azimuth:   10", "Elevation: 5", "-100", "005", -100, 5},
        // Offsets from a hand-edited file: sums beyond 32 bits are held at the limit.
        {100.0L, -20.0L, kMax, kMin, "Azimuth:   100", "Elevation: -20", "2147483647", "000", kMax, 0},
        {0.0L, 20.0L, kMin, kMax - 10, "Azimuth:   0", "Elevation: 20", "-2147483288", "2147483647", kMin + 360, kMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.azimuthLine + std::string(" / ") + c.elevationLine);
        Unit3::AZoffset = c.azOffset;
        Unit3::ELoffset = c.elOffset;
        UpdateWith(c.azimuth, c.elevation);
        EXPECT_EQ(Position::AzimuthLine, c.azimuthLine);
        EXPECT_EQ(Position::ElevationLine, c.elevationLine);
        EXPECT_EQ(Position::AZvalue, c.azValue);
        EXPECT_EQ(Position::ELvalue, c.elValue);
        EXPECT_EQ(Position::AZtarget, c.azTarget);
        EXPECT_EQ(Position::ELtarget, c.elTarget);
    }
}

TEST_F(PositionUpdate, AFaultInTheMoonComputationChangesNothing) {
    UpdateWith(123.0L, 45.0L);
    for (const long double bad :
         {std::numeric_limits<long double>::quiet_NaN(), std::numeric_limits<long double>::infinity(), 1e30L}) {
        SCOPED_TRACE(static_cast<double>(bad));
        EXPECT_THROW(UpdateWith(bad, 10.0L), Position::EInvalidOp);
        EXPECT_THROW(UpdateWith(10.0L, bad), Position::EInvalidOp);
    }
    EXPECT_THROW(UpdateWith(666.0L, 10.0L), std::overflow_error);
    EXPECT_EQ(Position::AzimuthLine, "Azimuth:   123");
    EXPECT_EQ(Position::ElevationLine, "Elevation: 45");
    EXPECT_EQ(Position::AZvalue, "123");
    EXPECT_EQ(Position::ELvalue, "045");
}

TEST_F(PositionUpdate, WithoutAUsableLocatorThereIsNoPositionToShowOrSend) {
    UpdateWith(123.0L, 45.0L);
    Unit3::Locator = "JO2";
    askedDay = 0.0;
    UpdateWith(200.0L, 20.0L);
    EXPECT_EQ(askedDay, 0.0);  // the Moon was not asked
    EXPECT_EQ(Position::AzimuthLine, "Azimuth:   ---");
    EXPECT_EQ(Position::ElevationLine, "Elevation: ---");
    EXPECT_EQ(Position::AZvalue, "");
    EXPECT_EQ(Position::ELvalue, "");
}

}  // namespace
