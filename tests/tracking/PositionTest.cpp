#include "Position.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "Location.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;

// A Moon that stands where the test puts it, and remembers what it was asked.
struct FixedMoon {
    static inline long double azimuth = 0.0L;
    static inline long double elevation = 0.0L;
    static inline bool fail = false;
    static inline double askedDay = 0.0;
    static inline long double askedLongitude = 0.0L;
    static inline long double askedLatitude = 0.0L;

    static void Position(double day, long double longitudeWest, long double latitude, long double& el,
                         long double& az) {
        askedDay = day;
        askedLongitude = longitudeWest;
        askedLatitude = latitude;
        if (fail) throw std::overflow_error("Floating point overflow");
        el = elevation;
        az = azimuth;
    }
};

class PositionUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        previousMoon_ = Position::SetMoonPosition(FixedMoon::Position);
        previousClock_ = Location::SetClock(
            [] { return system_clock::time_point(sys_days{2023y / March / 22} + 12h); });
        FixedMoon::fail = false;
        Unit3::Locator = "JO22IC";
        Unit3::AZoffset = 0;
        Unit3::ELoffset = 0;
    }
    void TearDown() override {
        Position::SetMoonPosition(previousMoon_);
        Location::SetClock(previousClock_);
    }

    static void UpdateWith(long double azimuth, long double elevation) {
        FixedMoon::azimuth = azimuth;
        FixedMoon::elevation = elevation;
        Position::UpdatePosition();
    }

private:
    Position::MoonPositionFunction previousMoon_ = nullptr;
    Location::ClockFunction previousClock_;
};

TEST_F(PositionUpdate, AsksForTheMoonAtTheClocksInstantAndTheLocatorsPosition) {
    UpdateWith(100.0L, 20.0L);
    EXPECT_DOUBLE_EQ(FixedMoon::askedDay, 45007.5);
    EXPECT_NEAR(static_cast<double>(FixedMoon::askedLongitude), -(4.0 + 8.0 / 12.0), 1e-12);
    EXPECT_NEAR(static_cast<double>(FixedMoon::askedLatitude), 52.0 + 2.0 / 24.0, 1e-12);
}

// Rounding, offsets, wrap, clamp and zero padding, each case worked by hand.
TEST_F(PositionUpdate, RoundsOffsetsAndFormatsBothAxes) {
    struct Case {
        long double azimuth, elevation;
        int32_t azOffset, elOffset;
        const char* azimuthLine;
        const char* elevationLine;
        int32_t azTarget, elTarget;
        const char* azValue;
        const char* elValue;
    };
    const Case cases[] = {
        {7.4L, 9.6L, 0, 0, "Azimuth:   7", "Elevation: 10", 7, 10, "007", "010"},
        {359.5L, 0.5L, 0, 0, "Azimuth:   360", "Elevation: 0", 360, 0, "360", "000"},  // ties to even
        {1.5L, -2.5L, 0, 0, "Azimuth:   2", "Elevation: -2", 2, 0, "002", "000"},
        {2.5L, 3.5L, 0, 0, "Azimuth:   2", "Elevation: 4", 2, 4, "002", "004"},
        {0.49999L, 89.50001L, 0, 0, "Azimuth:   0", "Elevation: 90", 0, 90, "000", "090"},
        {350.0L, 30.0L, 15, 0, "Azimuth:   350", "Elevation: 30", 365, 30, "365", "030"},  // no wrap down
        {5.0L, 30.0L, -10, 0, "Azimuth:   5", "Elevation: 30", 355, 30, "355", "030"},
        {200.0L, -12.0L, 0, 0, "Azimuth:   200", "Elevation: -12", 200, 0, "200", "000"},
        {200.0L, 45.0L, 0, -50, "Azimuth:   200", "Elevation: 45", 200, 0, "200", "000"},
        {99.0L, 45.0L, 1, 955, "Azimuth:   99", "Elevation: 45", 100, 1000, "100", "1000"},
        {10.0L, 5.0L, -375, 0, "Azimuth:   10", "Elevation: 5", -5, 5, "0-5", "005"},  // one lift only
        {10.0L, 5.0L, -470, 0, "Azimuth:   10", "Elevation: 5", -100, 5, "-100", "005"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.azimuthLine + std::string(" / ") + c.elevationLine);
        Unit3::AZoffset = c.azOffset;
        Unit3::ELoffset = c.elOffset;
        UpdateWith(c.azimuth, c.elevation);
        EXPECT_EQ(Position::AzimuthLine, c.azimuthLine);
        EXPECT_EQ(Position::ElevationLine, c.elevationLine);
        EXPECT_EQ(Position::AZtarget, c.azTarget);
        EXPECT_EQ(Position::ELtarget, c.elTarget);
        EXPECT_EQ(Position::AZvalue, c.azValue);
        EXPECT_EQ(Position::ELvalue, c.elValue);
        EXPECT_EQ(Position::MoonAzimuth, c.azimuth);
        EXPECT_EQ(Position::MoonElevation, c.elevation);
    }
}

TEST_F(PositionUpdate, OffsetsBeyondThirtyTwoBitsAreHeldAtTheLimit) {
    Unit3::AZoffset = std::numeric_limits<int32_t>::max();
    Unit3::ELoffset = std::numeric_limits<int32_t>::min();
    UpdateWith(100.0L, -20.0L);
    EXPECT_EQ(Position::AZtarget, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Position::AZvalue, "2147483647");
    EXPECT_EQ(Position::ELtarget, 0);
    Unit3::AZoffset = std::numeric_limits<int32_t>::min();
    UpdateWith(0.0L, 20.0L);
    EXPECT_EQ(Position::AZtarget, std::numeric_limits<int32_t>::min() + 360);
    EXPECT_EQ(Position::AZvalue, "-2147483288");
}

TEST_F(PositionUpdate, AFaultInTheMoonComputationChangesNothing) {
    UpdateWith(123.0L, 45.0L);
    const long double badValues[] = {std::numeric_limits<long double>::quiet_NaN(),
                                     std::numeric_limits<long double>::infinity(), 1e30L};
    for (const long double bad : badValues) {
        SCOPED_TRACE(static_cast<double>(bad));
        EXPECT_THROW(UpdateWith(bad, 10.0L), Position::EInvalidOp);
        EXPECT_THROW(UpdateWith(10.0L, bad), Position::EInvalidOp);
    }
    FixedMoon::fail = true;
    EXPECT_THROW(UpdateWith(10.0L, 10.0L), std::overflow_error);
    EXPECT_EQ(Position::AzimuthLine, "Azimuth:   123");
    EXPECT_EQ(Position::ElevationLine, "Elevation: 45");
    EXPECT_EQ(Position::Azimuth, 123);
    EXPECT_EQ(Position::Elevation, 45);
    EXPECT_EQ(Position::AZvalue, "123");
    EXPECT_EQ(Position::ELvalue, "045");
    EXPECT_EQ(Position::MoonAzimuth, 123.0L);
}

TEST_F(PositionUpdate, WithoutAUsableLocatorThereIsNoPositionToShowOrSend) {
    UpdateWith(123.0L, 45.0L);
    for (const char* locator : {"", "JO2"}) {
        SCOPED_TRACE(locator);
        Unit3::Locator = locator;
        FixedMoon::askedDay = 0.0;
        UpdateWith(200.0L, 20.0L);
        EXPECT_EQ(Position::AzimuthLine, "Azimuth:   ---");
        EXPECT_EQ(Position::ElevationLine, "Elevation: ---");
        EXPECT_EQ(Position::AZvalue, "");
        EXPECT_EQ(Position::ELvalue, "");
        EXPECT_EQ(FixedMoon::askedDay, 0.0);  // the Moon was not asked
    }
    Unit3::Locator = "JO22IC";
    UpdateWith(200.0L, 20.0L);
    EXPECT_EQ(Position::AZvalue, "200");
}

}  // namespace
