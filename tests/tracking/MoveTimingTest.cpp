// SPDX-License-Identifier: GPL-3.0-or-later
// The move window's arithmetic, and the automatic sends it holds back over an hour of ticks on a
// clock of the test's own.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Location.h"
#include "MoveTiming.h"
#include "MoveWindow.h"
#include "RotatorSettings.h"
#include "TempDir.h"
#include "Unit3.h"
#include "WeakSignalDx.h"

namespace {

using namespace std::chrono;
using MoveWindow::Window;

const Location::Instant kNoon = sys_days{2026y / December / 8} + 12h;

TEST(MoveWindow, ReadsItsTextAndPlacesInstantsInTheWindow) {
    const struct {
        const char* text;
        std::optional<Window> window;
    } texts[] = {
        {"50-59", Window{50, 59}}, {"0-3599", Window{0, 3599}}, {"07-09", Window{7, 9}}, {"59-50", std::nullopt},
        {"70-10", std::nullopt},   {"0-3600", std::nullopt},    {"50", std::nullopt},    {"-5-10", std::nullopt},
        {"50 -59", std::nullopt},  {"fifty-59", std::nullopt},  {"", std::nullopt},
    };
    for (const auto& c : texts) EXPECT_EQ(MoveWindow::Parse(c.text), c.window) << c.text;
    EXPECT_EQ(MoveWindow::Text({50, 59}), "50-59");

    // Worked by hand: periods count from midnight UTC; the window's last second is in it.
    const struct {
        Location::Instant at;
        int32_t period;
        Window window;
        bool inside;
        Location::Instant next;
    } instants[] = {
        {kNoon + 49s + 999999us, 60, {50, 59}, false, kNoon + 50s},
        {kNoon + 50s, 60, {50, 59}, true, kNoon + 50s},
        {kNoon + 59s + 999999us, 60, {50, 59}, true, kNoon + 59s + 999999us},
        {kNoon + 60s, 60, {50, 59}, false, kNoon + 110s},
        {kNoon + 5s, 60, {0, 4}, false, kNoon + 60s},
        {kNoon + 14s + 500ms, 15, {13, 14}, true, kNoon + 14s + 500ms},
        {kNoon + 15s, 15, {13, 14}, false, kNoon + 28s},
        {kNoon + 30min, 3600, {0, 59}, false, kNoon + 1h},
        // Before 1970 the periods keep their place.
        {sys_days{1969y / December / 31} + 23h + 58min + 10s,
         60,
         {50, 59},
         false,
         sys_days{1969y / December / 31} + 23h + 58min + 50s},
        // A window that does not fit the period holds nothing back.
        {kNoon + 5s, 15, {50, 59}, true, kNoon + 5s},
    };
    for (const auto& c : instants) {
        SCOPED_TRACE(Location::DayNumber(c.at));
        EXPECT_EQ(MoveWindow::Fits(c.window, c.period), c.window.last < c.period);
        EXPECT_EQ(MoveWindow::Inside(c.at, c.period, c.window), c.inside);
        EXPECT_EQ(MoveWindow::NextOpening(c.at, c.period, c.window), c.next);
    }
}

class MoveTimingSchedule : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        previousClock_ = Location::SetClock([this] { return now_; });
    }
    void TearDown() override {
        Location::SetClock(previousClock_);
        WeakSignalDx::Clear();
        Unit3::ExecutablePath.clear();
    }
    test_support::TempDir dir_;
    Location::Instant now_ = kNoon;
    Location::ClockFunction previousClock_;
};

// An hour of "Cont. track" ticks: the main window offers each tick, and calls TakeDue when its move
// timer fires at NextCheck. Every send goes inside the window, at the first instant from its tick on
// that lies in it; ticks held back together go as one send, and none twice.
TEST_F(MoveTimingSchedule, EveryTickGoesAtTheFirstWindowStartAfterItAndNoneTwice) {
    const struct {
        int intervalSeconds;
        int startSecond;      // the first tick, seconds after noon
        const char* station;  // [Station] Period, or "" for the default 60
        int period;           // the period in force
        Window window;
    } cases[] = {
        {10, 0, "", 60, {50, 59}},  {7, 3, "", 60, {0, 4}},           {60, 0, "", 60, {50, 59}},
        {60, 51, "", 60, {50, 59}}, {13, 0, "", 60, {59, 59}},        {45, 0, "30", 30, {25, 29}},
        {1, 0, "15", 15, {13, 14}}, {300, 7, "120", 120, {100, 119}}, {90, 0, "3600", 3600, {0, 59}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("every " + std::to_string(c.intervalSeconds) + " s, window " + MoveWindow::Text(c.window) +
                     " of " + std::to_string(c.period) + " s");
        test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                     *c.station ? std::string("[Station]\nPeriod=") + c.station + "\n" : "");
        RotatorSettings::Settings settings;
        settings.moveWindow = c.window;
        MoveTiming timing{settings};
        const Location::Instant start = kNoon + seconds(c.startSecond), end = start + 1h;

        std::vector<Location::Instant> sends;
        Location::Instant nextTick = start;
        for (int steps = 0; steps < 100000; ++steps) {
            const std::optional<Location::Instant> check = timing.NextCheck();
            const bool tick = !check || nextTick <= *check;
            now_ = tick ? nextTick : *check;
            if (now_ >= end) break;
            const std::optional<MoveTiming::Sends> due = tick ? timing.Offer({.tick = true}) : timing.TakeDue();
            if (due) {
                EXPECT_EQ(*due, MoveTiming::Sends{.tick = true});
                sends.push_back(now_);
            }
            if (tick) nextTick += seconds(c.intervalSeconds);
        }

        // Each tick's send: the tick's own second when it lies in the window, else the first second after
        // it that does, counted a second at a time.
        std::set<Location::Instant> expected;
        for (Location::Instant tick = start; tick < end; tick += seconds(c.intervalSeconds)) {
            long long second = duration_cast<seconds>(tick.time_since_epoch()).count();
            while (second % c.period < c.window.first || second % c.period > c.window.last) ++second;
            if (const Location::Instant goes{seconds(second)}; goes < end) expected.insert(goes);
        }
        EXPECT_EQ(sends, std::vector<Location::Instant>(expected.begin(), expected.end()));
    }
}

}  // namespace
