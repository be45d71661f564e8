// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "AxisTransports.h"
#include "HamlibTransport.h"
#include "HorizonSettings.h"
#include "Location.h"
#include "Position.h"
#include "RotatorPlan.h"
#include "RotatorSettings.h"
#include "RotatorTracking.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;
using Location::Instant;
using Protocols::Axis;
using RotatorPlan::Horizontal;
using RotatorSettings::BelowHorizon;
using RotatorSettings::Settings;

// A UTC instant written as the tables read: day of December 2026, hour, minute.
Instant December2026(int day, int hour, int minute) {
    return sys_days{2026y / December / day} + hours(hour) + minutes(minute);
}

// The Moon as the program computes it, seen from QF56OD (near Sydney).
Horizontal MoonFromQF56OD(Instant at) {
    EXPECT_TRUE(Location::LocatorToLonLat("QF56OD"));
    long double elevation = 0.0L, azimuth = 0.0L;
    Position::TargetPositionAt(Location::DayNumber(at), elevation, azimuth);
    return {azimuth, elevation};
}

Settings WithRange(int32_t range) {
    Settings settings;
    settings.azimuthRange = range;
    return settings;
}

// What a run of 1-minute ticks sent while the Moon was up: the azimuths and the swings through
// the stop (a step of more than 300 degrees), with the minute each swing arrived.
struct TrackedRun {
    std::vector<int32_t> azimuths;
    std::vector<Instant> swings;
    int32_t swingFrom = 0, swingTo = 0;  // the commands either side of the last swing
    std::optional<RotatorPlan::Pass> pass;
    int32_t largestStep = 0;
};

TrackedRun TrackEachMinute(Instant from, Instant to, const Settings& settings) {
    RotatorPlan::Aim aim(MoonFromQF56OD);
    TrackedRun run;
    for (Instant at = from; at < to; at += 1min) {
        const Horizontal moon = MoonFromQF56OD(at);
        const Protocols::Targets targets = aim.TargetsAt(at, moon, 0, 0, settings, {}).whole;
        if (moon.elevation < 0.0L) continue;
        if (!run.azimuths.empty()) {
            const int32_t step = std::abs(targets.azimuth - run.azimuths.back());
            if (step > 300) {
                run.swings.push_back(at);
                run.swingFrom = run.azimuths.back();
                run.swingTo = targets.azimuth;
            } else run.largestStep = std::max(run.largestStep, step);
        }
        run.azimuths.push_back(targets.azimuth);
        if (aim.CurrentPass()) run.pass = aim.CurrentPass();
    }
    return run;
}

// The pass of 6-7 December 2026 at QF56OD: the Moon rises at 16:54 UTC in azimuth 116.4, passes
// north between 00:06 (0.63) and 00:07 (359.43) at 79 degrees of elevation, and sets at 07:27 in
// 241.0; it is at 90.0 at 20:35 (astropy, topocentric, no refraction), moving 0.12 degrees a minute,
// so its rounded azimuth reaches 90 (450 on the upper turn of 0-450) about four minutes earlier.
TEST(RotatorPass, ThroughNorthWithEachAzimuthRange) {
    const struct {
        const char* what;
        int32_t range;
        Instant from;
        int swings;
        std::optional<Instant> swingAt;  // to within 5 minutes
        std::optional<int32_t> first;    // the first azimuth sent with the Moon up, to within 1
        std::optional<int32_t> last;
        bool wholePass;
    } cases[] = {
        {"stop at north, from before the rise", 360, December2026(6, 16, 50), 1, December2026(7, 0, 7), 116, 241, true},
        {"450 from before the rise: no side holds it all, the longer one is the upper turn", 450,
         December2026(6, 16, 50), 1, December2026(6, 20, 35), 116, 241, false},
        {"540 from before the rise: the upper turn holds it all", 540, December2026(6, 16, 50), 0, std::nullopt, 476,
         241, true},
        {"450 from midnight, when tracking starts mid-pass", 450, December2026(7, 0, 0), 0, std::nullopt, 368, 241,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TrackedRun run = TrackEachMinute(c.from, December2026(7, 7, 40), WithRange(c.range));
        ASSERT_FALSE(run.azimuths.empty());
        EXPECT_EQ(run.swings.size(), static_cast<std::size_t>(c.swings));
        if (c.swingAt && !run.swings.empty()) {
            EXPECT_LE(abs(duration_cast<minutes>(run.swings.front() - *c.swingAt).count()), 5);
        }
        EXPECT_LE(run.largestStep, 3);  // otherwise the antenna follows smoothly
        for (const int32_t azimuth : run.azimuths) {
            EXPECT_GE(azimuth, 0);
            EXPECT_LE(azimuth, c.range);
        }
        if (c.first) {
            EXPECT_NEAR(run.azimuths.front(), *c.first, 1);
        }
        if (c.last) {
            EXPECT_NEAR(run.azimuths.back(), *c.last, 1);
        }
        if (c.range > 360) {
            ASSERT_TRUE(run.pass.has_value());
            EXPECT_EQ(run.pass->wholePass, c.wholePass);
            ASSERT_EQ(run.pass->swing.has_value(), !c.wholePass);
            if (run.pass->swing) {
                // The swing planned is the one the ticks sent, to the minute and the degree.
                ASSERT_EQ(run.swings.size(), 1u);
                EXPECT_EQ(run.pass->swing->at, run.swings.front());
                EXPECT_EQ(run.pass->swing->from, run.swingFrom);
                EXPECT_EQ(run.pass->swing->to, run.swingTo);
            }
        }
    }
}

TEST(RotatorPass, AcrossNorthTheStopSwingsAndTheOverlapCarriesOn) {
    // 00:06 and 00:07: M001 then M359 with the stop at north; 361 then 359 with an overlap.
    const struct {
        int32_t range;
        int32_t before, after;
    } cases[] = {{360, 1, 359}, {450, 361, 359}, {540, 361, 359}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        const TrackedRun run = TrackEachMinute(December2026(6, 23, 30), December2026(7, 0, 8), WithRange(c.range));
        ASSERT_GE(run.azimuths.size(), 2u);
        EXPECT_EQ(run.azimuths[run.azimuths.size() - 2], c.before);
        EXPECT_EQ(run.azimuths.back(), c.after);
    }
}

// 12:00 UTC on 7 December the Moon stands at azimuth 188.0, elevation -31.8; it next rises at
// 17:33 in azimuth 120.2 (astropy).
TEST(RotatorPass, BelowTheHorizonEachPolicy) {
    const struct {
        const char* what;
        const char* policy;
        int32_t range;
        std::optional<RotatorSettings::ElevationRange> elevation;
        int32_t azimuth;  // to within 1 degree
        int32_t elevationSent;
    } cases[] = {
        {"follow: the Moon's azimuth, elevation 0", "follow", 360, std::nullopt, 188, 0},
        {"follow with a minimum elevation", "follow", 360, RotatorSettings::ElevationRange{5, 85}, 188, 5},
        {"park", "park:180,10", 360, std::nullopt, 180, 10},
        {"park beyond a stop at north goes round once", "park:400,10", 360, std::nullopt, 40, 10},
        {"park on the overlap", "park:400,10", 450, std::nullopt, 400, 10},
        {"park below the elevation range is held at it", "park:180,2", 360, RotatorSettings::ElevationRange{5, 85}, 180,
         5},
        {"wait at the rising azimuth", "wait", 360, std::nullopt, 120, 0},
        {"wait at the minimum elevation", "wait", 360, RotatorSettings::ElevationRange{5, 85}, 120, 5},
        {"wait on the side that holds the longer part", "wait", 450, std::nullopt, 120, 0},
        {"wait on the upper turn that holds the whole pass", "wait", 540, std::nullopt, 480, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Settings settings = WithRange(c.range);
        settings.belowHorizon = *RotatorSettings::ParseBelowHorizon(c.policy);
        if (c.elevation) settings.elevation = *c.elevation;
        RotatorPlan::Aim aim(MoonFromQF56OD);
        const Instant noon = December2026(7, 12, 0);
        const Protocols::Targets targets = aim.TargetsAt(noon, MoonFromQF56OD(noon), 0, 0, settings, {}).whole;
        EXPECT_NEAR(targets.azimuth, c.azimuth, 1);
        EXPECT_EQ(targets.elevation, c.elevationSent);
    }
}

TEST(RotatorPass, WaitingAtTheRiseHandsOverToThePassWithoutASwing) {
    Settings settings = WithRange(540);
    settings.belowHorizon.policy = BelowHorizon::kWait;
    RotatorPlan::Aim aim(MoonFromQF56OD);
    std::optional<int32_t> previous;
    for (Instant at = December2026(7, 16, 0); at < December2026(7, 19, 0); at += 1min) {
        const int32_t azimuth = aim.TargetsAt(at, MoonFromQF56OD(at), 0, 0, settings, {}).whole.azimuth;
        if (previous) {
            EXPECT_LE(std::abs(azimuth - *previous), 2) << Location::DayNumber(at);
        }
        previous = azimuth;
    }
}

TEST(RotatorTargets, PlainBehaviourByDefaultAndTheElevationRange) {
    // Moon at (azimuth, elevation) with offsets: the plain rounded values, 360 added once to a
    // negative azimuth, a negative elevation sent as 0, and no upper limit unless one is set.
    const struct {
        long double azimuth, elevation;
        int32_t azimuthOffset, elevationOffset;
        std::optional<RotatorSettings::ElevationRange> elevationRange;
        int32_t azimuthSent, elevationSent;
    } cases[] = {
        {7.4L, 9.6L, 0, 0, std::nullopt, 7, 10},
        {359.5L, 20.0L, 0, 0, std::nullopt, 360, 20},
        {350.0L, 20.0L, 15, 0, std::nullopt, 365, 20},
        {5.0L, 20.0L, -10, 0, std::nullopt, 355, 20},
        {100.0L, 85.0L, 0, 10, std::nullopt, 100, 95},
        {100.0L, 45.0L, 0, -50, std::nullopt, 100, 0},
        {100.0L, 85.0L, 0, 10, RotatorSettings::ElevationRange{0, 90}, 100, 90},
        {100.0L, 78.3L, 0, 0, RotatorSettings::ElevationRange{10, 60}, 100, 60},
        {100.0L, 3.0L, 0, 0, RotatorSettings::ElevationRange{10, 60}, 100, 10},
    };
    for (const auto& c : cases) {
        Settings settings;
        if (c.elevationRange) settings.elevation = *c.elevationRange;
        RotatorPlan::Aim aim([](Instant) { return Horizontal{0.0L, 10.0L}; });
        const Protocols::Targets targets = aim.TargetsAt(December2026(7, 0, 0), {c.azimuth, c.elevation},
                                                         c.azimuthOffset, c.elevationOffset, settings, {})
                                               .whole;
        EXPECT_EQ(targets.azimuth, c.azimuthSent) << static_cast<double>(c.azimuth);
        EXPECT_EQ(targets.elevation, c.elevationSent) << static_cast<double>(c.elevation);
    }
}

TEST(RotatorTargets, AzimuthsAbove359OnlyToControllersThatTakeThem) {
    const struct {
        int32_t azimuth;
        const char* protocol;
        int32_t range;
        int32_t sent;
    } cases[] = {
        {365, "M\xB2 RC2800", 360, 365},  // the stop at north sends what it always sent
        {360, "Prosistel-D", 360, 360},
        {420, "YAESU GS-232A 9600bd", 450, 420},
        {420, "Hamlib", 450, 420},
        {420, "M\xB2 RC2800", 450, 60},
        {360, "Hy-Gain DCU-1", 450, 0},
        {359, "Prosistel-D", 540, 359},
        {540, "Prosistel-D combined", 540, 180},
    };
    for (const auto& c : cases) {
        const Protocols::Protocol* protocol = Protocols::FindProtocol(Axis::kAzimuth, c.protocol);
        if (protocol == nullptr) protocol = Protocols::FindProtocol(Axis::kElevation, c.protocol);
        ASSERT_NE(protocol, nullptr) << c.protocol;
        EXPECT_EQ(RotatorPlan::AzimuthForProtocol(c.azimuth, *protocol, c.range), c.sent) << c.protocol << c.azimuth;
    }
}

// An hour of 1-minute ticks with the target moving 0.5 degrees a minute in azimuth from 100.1 and
// 0.2 a minute in elevation from 10.2. The rounded azimuth steps at every odd minute (100, 101,
// 101, 102, ...); the elevation reaches 12 at minute 7 (11.6) and 2 more every 10 minutes.
TEST(RotatorDeadband, CountsTheSendsOfAnHourOfTicks) {
    const struct {
        const char* what;
        int32_t deadband;
        Axis axis;
        bool carriesAzimuth;
        int sends;
    } cases[] = {
        {"no deadband sends every tick", 0, Axis::kAzimuth, false, 60},
        {"1 degree: the first tick and every odd minute", 1, Axis::kAzimuth, false, 31},
        {"2 degrees: minutes 0, 3, 7, ..., 59", 2, Axis::kAzimuth, false, 16},
        {"5 degrees: minutes 0, 9, 19, ..., 59", 5, Axis::kAzimuth, false, 7},
        {"2 degrees of elevation: minutes 0, 7, 17, ..., 57", 2, Axis::kElevation, false, 7},
        {"a combined command goes when either value moved", 2, Axis::kElevation, true, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RotatorPlan::Deadband deadband;
        RotatorPlan::Aim aim([](Instant) { return Horizontal{0.0L, 10.0L}; });
        int sends = 0;
        for (int minute = 0; minute < 60; ++minute) {
            const Horizontal target{100.1L + 0.5L * minute, 10.2L + 0.2L * minute};
            const Protocols::Targets targets =
                aim.TargetsAt(December2026(7, 0, minute), target, 0, 0, Settings{}, {}).whole;
            if (!deadband.Due(c.axis, targets, c.carriesAzimuth, c.deadband)) continue;
            ++sends;
            deadband.Sent(c.axis, targets, c.carriesAzimuth);
        }
        EXPECT_EQ(sends, c.sends);
    }
}

TEST(RotatorDeadband, AFailedSendIsTriedAgainAndACombinedCommandCountsForBothAxes) {
    RotatorPlan::Deadband deadband;
    EXPECT_TRUE(deadband.Due(Axis::kAzimuth, {100, 10}, false, 2));
    // Not recorded as sent (the line failed): the next tick tries again though nothing moved.
    EXPECT_TRUE(deadband.Due(Axis::kAzimuth, {100, 10}, false, 2));
    deadband.Sent(Axis::kElevation, {100, 10}, true);  // "W100 010" went out
    EXPECT_FALSE(deadband.Due(Axis::kAzimuth, {101, 10}, false, 2));
    EXPECT_TRUE(deadband.Due(Axis::kAzimuth, {102, 10}, false, 2));
    EXPECT_FALSE(deadband.Due(Axis::kElevation, {101, 11}, true, 2));
    EXPECT_TRUE(deadband.Due(Axis::kElevation, {99, 8}, true, 2));
    deadband.Forget();
    EXPECT_TRUE(deadband.Due(Axis::kElevation, {100, 10}, true, 2));
}

TEST(RotatorInterval, SecondsReplaceTheMinutesWhenSet) {
    const struct {
        int32_t minutes, seconds;
        int milliseconds;
    } cases[] = {
        {0, 0, 0},      {1, 0, 60000},  {-3, 0, 0},    {40000, 0, 35791 * 60000},
        {1, 10, 10000}, {0, 10, 10000}, {-1, 1, 1000}, {5, 86400, 86400000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RotatorPlan::TickMilliseconds(c.minutes, c.seconds), c.milliseconds) << c.minutes << " " << c.seconds;
}

}  // namespace

namespace {

// A target 45 degrees up that passes azimuth 10 at 00:00 UTC on 7 December 2026, turning 0.05
// degrees a minute westwards (through north) for stations east of Greenwich and eastwards for
// stations west of it. East, a day's pass runs 10 down to -62: on 0-450 it is held on the upper
// turn (370); west it runs 10 up to 82 and stays on the lower turn (10).
void TurnsWithTheStation(double day, long double longitudeWest, long double, long double& elevation,
                         long double& azimuth) {
    const long double minutes = (day - Location::DayNumber(December2026(7, 0, 0))) * 1440.0L;
    const long double turned = 10.0L + (longitudeWest < 0 ? -0.05L : 0.05L) * minutes;
    azimuth = std::fmod(turned + 360.0L, 360.0L);
    elevation = 45.0L;
}

// The program's tracking follows the station: a new locator plans its pass anew. At 00:06 the
// target stands at 9.7 east of Greenwich and 10.3 west of it: a Hamlib rotator gets that, on the
// turn the whole degrees take. The pass planned is the tracker's own.
TEST(RotatorTracking, ANewLocatorPlansAfresh) {
    const Location::ClockFunction previous = Location::SetClock([] { return December2026(7, 0, 6); });
    const Position::MoonPositionFunction previousMoon = Position::SetMoonPosition(TurnsWithTheStation);
    HamlibTransport::Axes hamlib, anotherHamlib;
    AxisTransports::Transports transports(hamlib), anotherTransports(anotherHamlib);
    RotatorTracking::Tracker rotators(transports);
    rotators.Use(WithRange(450));
    RotatorTracking::Tracker another(anotherTransports);  // another run's tracking: it shares no pass with this one
    another.Use(WithRange(450));
    Unit3::AZoffset = Unit3::ELoffset = 0;
    const struct {
        const char* locator;
        int32_t azimuth;
        double hamlibAzimuth;
    } cases[] = {{"QF56OD", 370, 369.7}, {"FN20XR", 10, 10.3}, {"QF56OD", 370, 369.7}};
    for (const auto& c : cases) {
        Unit3::Locator = c.locator;
        Position::UpdatePosition();
        rotators.PointTargets(Location::Now());
        EXPECT_EQ(Position::AZtarget, c.azimuth) << c.locator;
        EXPECT_DOUBLE_EQ(hamlib.CurrentTarget().azimuth, c.hamlibAzimuth) << c.locator;
        EXPECT_TRUE(rotators.CurrentPass().has_value()) << c.locator;
    }
    EXPECT_FALSE(another.CurrentPass().has_value());
    Position::SetMoonPosition(previousMoon);
    Location::SetClock(previous);
}

}  // namespace

// Waiting below the horizon with a horizon mask: the rotator waits where the Moon clears the mask, not where
// it rises; without the mask where it rises.
TEST(RotatorPass, WaitingPointsWhereTheMoonClearsTheHorizonMask) {
    Settings settings = WithRange(360);
    settings.belowHorizon.policy = BelowHorizon::kWait;
    const Instant waiting = December2026(7, 16, 0);
    const auto waitsAt = [&](const horizon_mask::Mask& mask) {
        RotatorPlan::Aim aim(MoonFromQF56OD);
        return aim.TargetsAt(waiting, MoonFromQF56OD(waiting), 0, 0, settings, mask).whole.azimuth;
    };
    const int32_t unmasked = waitsAt({});
    const int32_t masked = waitsAt(horizon_mask::Mask({{0, 20}}));  // 20 degrees all round
    // Where the Moon stands when it first reaches 20 degrees after rising.
    const std::optional<Instant> rise = RotatorPlan::NextRise(MoonFromQF56OD, waiting);
    ASSERT_TRUE(rise);
    Instant at = *rise;
    while (MoonFromQF56OD(at).elevation < 20) at += 1min;
    EXPECT_EQ(masked, Position::RoundDegrees(MoonFromQF56OD(at).azimuth));
    EXPECT_EQ(unmasked, Position::RoundDegrees(MoonFromQF56OD(*rise).azimuth));
    EXPECT_NE(masked, unmasked);
}
