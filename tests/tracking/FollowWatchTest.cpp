// SPDX-License-Identifier: GPL-3.0-or-later
#include "FollowWatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"

namespace {

using FollowWatch::Change;
using std::chrono::seconds;

// Readings of one axis on a clock of our own: seconds since the start, commanded, actual, and the
// change expected at that reading.
struct Reading {
    int at;
    double commanded;
    double actual;
    Change expected;
};

TEST(FollowWatch, AlarmsOnlyWhenTheGapStandsForTheWholeTimeAndClearsWhenItCloses) {
    const FollowWatch::Settings settings{2.0, 60, FollowWatch::Action::kReport};
    const struct {
        const char* name;
        bool wraps;
        std::vector<Reading> readings;
    } cases[] = {
        {"jammed: the gap stands",
         true,
         {{0, 212.4, 180.0, Change::kNone},
          {59, 212.4, 180.0, Change::kNone},
          {75, 212.4, 180.0, Change::kAlarm},
          {80, 212.4, 180.0, Change::kNone},
          {85, 212.4, 211.0, Change::kCleared}}},
        {"turning slowly toward a far target never alarms",
         true,
         {{0, 300.0, 0.0, Change::kNone},
          {50, 300.0, 2.5, Change::kNone},
          {100, 300.0, 5.0, Change::kNone},
          {150, 300.0, 7.5, Change::kNone},
          {200, 300.0, 10.0, Change::kNone}}},
        {"creeping by less than the limit per time alarms",
         false,
         {{0, 60.0, 20.0, Change::kNone}, {30, 60.0, 21.0, Change::kNone}, {60, 60.0, 21.5, Change::kAlarm}}},
        {"the target moving away from a stuck rotator: the time keeps running",
         true,
         {{0, 100.0, 90.0, Change::kNone}, {40, 101.0, 90.0, Change::kNone}, {70, 102.0, 90.0, Change::kAlarm}}},
        {"a rotator reading -180 to 180 turning toward 300 the short way",
         true,
         {{0, 300.0, 0.0, Change::kNone},
          {50, 300.0, -3.0, Change::kNone},
          {100, 300.0, -6.0, Change::kNone},
          {150, 300.0, -9.0, Change::kNone}}},
        {"a new far command to a rotator that then turns toward it",
         true,
         {{0, 100.0, 90.0, Change::kNone},
          {40, 200.0, 95.0, Change::kNone},
          {90, 200.0, 130.0, Change::kNone},
          {140, 200.0, 170.0, Change::kNone},
          {190, 200.0, 199.0, Change::kNone}}},
        {"wrap-around: 359.5 against 0.5 is within the limit",
         true,
         {{0, 359.5, 0.5, Change::kNone}, {120, 359.5, 0.5, Change::kNone}}},
        {"elevation does not wrap", false, {{0, 1.0, 359.0, Change::kNone}, {60, 1.0, 359.0, Change::kAlarm}}},
        {"exactly the limit is following", false, {{0, 10.0, 8.0, Change::kNone}, {300, 10.0, 8.0, Change::kNone}}},
    };
    for (const auto& c : cases) {
        FollowWatch::Watch watch;
        for (const Reading& r : c.readings) {
            EXPECT_EQ(
                watch.Observe(settings, r.commanded, r.actual, c.wraps, FollowWatch::Clock::time_point(seconds(r.at))),
                r.expected)
                << c.name << " at " << r.at << " s";
        }
    }
}

TEST(FollowWatch, AlarmTextNamesTheAxisBothPositionsAndTheTime) {
    FollowWatch::Watch watch;
    const FollowWatch::Settings settings;
    const auto start = FollowWatch::Clock::time_point(seconds(1000));
    watch.Observe(settings, 212.4, 180.0, true, start);
    EXPECT_EQ(watch.Observe(settings, 212.4, 180.0, true, start + seconds(75)), Change::kAlarm);
    EXPECT_EQ(FollowWatch::AlarmText("Azimuth", watch),
              "Azimuth rotator not following - commanded 212.4, at 180.0 for 75 s");
    // A limit of 0 turns the check off and clears an alarm.
    EXPECT_EQ(watch.Observe({0.0, 60, FollowWatch::Action::kReport}, 212.4, 180.0, true, start + seconds(80)),
              Change::kCleared);
    EXPECT_FALSE(watch.Alarmed());
}

TEST(FollowWatch, SettingsTakeTheirDefaultsForMissingOrUnusableValues) {
    test_support::TempDir dir;
    const std::string file = dir.File("lunark.ini");
    using FollowWatch::Action;
    const struct {
        const char* content;
        FollowWatch::Settings expected;
    } cases[] = {
        {"", {2.0, 60, Action::kReport}},
        {"[Station]\nFollowLimit=0\nFollowTime=5\nFollowAction=park\n", {0.0, 5, Action::kPark}},
        {"[station]\nfollowlimit = 1.5\nfollowaction = STOP\n", {1.5, 60, Action::kStop}},
        {"[Station]\nFollowLimit=-1\nFollowTime=0\nFollowAction=halt\n", {2.0, 60, Action::kReport}},
        {"[Station]\nFollowLimit=181\nFollowTime=3601\n", {2.0, 60, Action::kReport}},
        {"[Station]\nFollowLimit=2deg\nFollowTime=1e3\n", {2.0, 60, Action::kReport}},
        {"[Rotator]\nFollowLimit=5\n", {2.0, 60, Action::kReport}},
    };
    for (const auto& c : cases) {
        test_support::WriteFileBytes(file, c.content);
        EXPECT_EQ(FollowWatch::Load(file), c.expected) << c.content;
    }
    EXPECT_EQ(FollowWatch::Load(dir.File("missing.ini")), FollowWatch::Settings{});
}

}  // namespace
