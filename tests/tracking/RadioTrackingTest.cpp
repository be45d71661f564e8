// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <thread>

#include "HamlibRotator.h"
#include "HamlibStandIns.h"
#include "Journal.h"
#include "Location.h"
#include "Messages.h"
#include "PlanSettings.h"
#include "RadioTracking.h"
#include "eme_plan.h"

namespace {

using namespace std::chrono;
using RadioSettings::Mode;

constexpr long long kSkedHz = 10368100000;
const Location::Instant kAt = sys_days{2026y / December / 7} + 12h;  // the Moon up at both stations

// The frequency a mode asks for at an instant, from the formulas on Lunark's own range rates:
// d = -f0·(dr/dt)/c for each station, the dial at air - LO or |LO| - air.
long long Formula(Mode mode, bool transmit, long long loHz, Location::Instant at) {
    const double day = Location::DayNumber(at);
    const auto oneWay = [&](const char* locator) {
        return -kSkedHz * eme_plan::RangeRate(day, PlanSettings::StationOf(locator)) / eme_plan::kLightKmPerSecond;
    };
    const long double home = oneWay("JO22IC"), dx = oneWay("FN20XR");
    long double air = kSkedHz;
    switch (mode) {
        case Mode::kOwnEcho:
            air += transmit ? 0 : 2 * home;
            break;
        case Mode::kConstantOnTheMoon:
            air += transmit ? -home : home;
            break;
        case Mode::kFullForTheDx:
            air += transmit ? -home - dx : home + dx;
            break;
        case Mode::kNone:
            break;
    }
    const long long onAir = std::llround(air);
    return loHz < 0 ? -loHz - onAir : onAir - loHz;
}

// Keys or unkeys the rig behind rigctld as another program would, until rigctld's own read says so.
bool Key(const tracking_test::RigctlDaemon& daemon, bool on) {
    const auto deadline = steady_clock::now() + seconds(10);
    while (steady_clock::now() < deadline) {
        daemon.Ask(on ? "T 1" : "T 0");
        if (daemon.Ask("t").starts_with(on ? "1" : "0")) return true;
    }
    return false;
}

class RadioTrackingTest : public ::testing::Test {
protected:
    Journal::Journal journal_;
    RadioTracking::Tracker radio_{journal_};
    void SetUp() override {
        previous_ = Messages::SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        radio_.Reset();
        Messages::SetMessageHandler(previous_);
    }

    void Use(Mode mode, long long loHz, bool split, HamlibRig::Address rig, bool noTxQsy = false) {
        RadioSettings::Settings settings;
        settings.enabled = true;
        settings.rig = std::move(rig);
        settings.skedHz = kSkedHz;
        settings.mode = mode;
        settings.loHz = loHz;
        settings.split = split;
        settings.noTxQsy = noTxQsy;
        settings.dx = "FN20XR";
        settings.intervalMs = 100;  // the shortest the operator may set: the rig is asked ten times a second
        radio_.Use(settings, PlanSettings::StationOf("JO22IC"), settings.dx);
        start_ = steady_clock::now();
    }

    // Ticks every 20 ms on a clock that starts at kAt and goes at the real pace, until `done` holds or
    // 20 s have passed; false then.
    bool TickUntil(const std::function<bool(const RadioTracking::Status&)>& done) {
        const auto deadline = steady_clock::now() + seconds(20);
        while (steady_clock::now() < deadline) {
            radio_.Tick(kAt + duration_cast<microseconds>(steady_clock::now() - start_));
            if (done(radio_.Current())) return true;
            std::this_thread::sleep_for(milliseconds(20));
        }
        return false;
    }

    Messages::MessageHandler previous_;
    std::vector<std::string> messages_;
    steady_clock::time_point start_;
};

// Hamlib's simulated rig in this process: each mode's receive frequency, and with split the transmit
// frequency, are set and read back as the formulas give them for the instant they were computed for.
TEST_F(RadioTrackingTest, SimulatedRigIsTunedToEachModesFrequencies) {
    const struct {
        Mode mode;
        long long loHz;
        bool split;
    } cases[] = {
        {Mode::kOwnEcho, 0, true},
        {Mode::kConstantOnTheMoon, 10224000000, true},
        {Mode::kFullForTheDx, -10512000000, true},
        {Mode::kFullForTheDx, 10224000000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(RadioSettings::RowOf(c.mode).name) + (c.split ? " split" : ""));
        Use(c.mode, c.loHz, c.split, {1, "", 0});
        ASSERT_TRUE(TickUntil([&](const RadioTracking::Status& s) {
            return s.setReceive && s.readReceive && (!c.split || (s.setTransmit && s.readTransmit));
        })) << radio_.Current().state;
        const RadioTracking::Status& s = radio_.Current();
        EXPECT_EQ(s.state, "answers");
        EXPECT_NEAR(*s.setReceive, Formula(c.mode, false, c.loHz, s.receiveSetFor), 1);
        EXPECT_EQ(s.readReceive, s.setReceive);
        if (c.split) {
            EXPECT_NEAR(*s.setTransmit, Formula(c.mode, true, c.loHz, s.transmitSetFor), 1);
            EXPECT_EQ(s.readTransmit, s.setTransmit);
        } else {
            EXPECT_FALSE(s.setTransmit.has_value());  // set only when a transmission starts
        }
        radio_.Reset();
    }
}

// Behind rigctld, checked over its own protocol (f, and +i for the split frequency): with split both
// VFOs follow, PTT or not; without split the one VFO takes the transmit frequency while the PTT is on
// and the receive frequency again when it goes off. A rig that cannot QSY in transmit is tuned for the
// middle of the transmit period (60 s periods from kAt): the next one with split, the current one at PTT.
TEST_F(RadioTrackingTest, RigctldIsTunedToEachModesFrequenciesWithAndWithoutSplit) {
    tracking_test::RigctlDaemon daemon;
    const struct {
        Mode mode;
        long long loHz;
        bool split, ptt, noTxQsy;
        seconds transmitFor;  // after kAt, with noTxQsy
    } cases[] = {
        {Mode::kOwnEcho, 0, true, false, false, {}},
        {Mode::kFullForTheDx, 10224000000, true, true, false, {}},
        {Mode::kConstantOnTheMoon, -10512000000, false, false, false, {}},
        {Mode::kConstantOnTheMoon, 10224000000, false, true, false, {}},
        {Mode::kConstantOnTheMoon, 0, true, false, true, 90s},
        {Mode::kFullForTheDx, 10224000000, false, true, true, 30s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(RadioSettings::RowOf(c.mode).name) + (c.split ? " split" : "") +
                     (c.ptt ? " PTT" : "") + (c.noTxQsy ? " no QSY in transmit" : ""));
        ASSERT_TRUE(Key(daemon, false));
        Use(c.mode, c.loHz, c.split, {2, daemon.Address(), 0}, c.noTxQsy);
        ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) { return s.setReceive && s.readReceive; }))
            << radio_.Current().state;
        EXPECT_NEAR(*radio_.Current().setReceive, Formula(c.mode, false, c.loHz, radio_.Current().receiveSetFor), 1);
        EXPECT_EQ(daemon.Frequency(), *radio_.Current().setReceive);
        if (c.ptt) {
            // rigctld turns the PTT off when a client leaves while it is on: the previous case's rig,
            // let go without waiting, must have left first.
            ASSERT_TRUE(TickUntil([&](const RadioTracking::Status&) { return daemon.OpenConnections() == 1; }));
            ASSERT_TRUE(Key(daemon, true));
            ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) {
                return s.transmitting == true && s.setTransmit;
            })) << radio_.Current().state
                << ", PTT " << radio_.Current().transmitting.value_or(-1) << ", dial " << daemon.Frequency();
        } else if (c.split) {
            ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) { return s.setTransmit.has_value(); }));
        }
        const RadioTracking::Status& s = radio_.Current();
        if (c.split || c.ptt) {
            if (c.noTxQsy) {
                EXPECT_EQ(s.transmitSetFor, kAt + c.transmitFor);
            }
            EXPECT_NEAR(*s.setTransmit, Formula(c.mode, true, c.loHz, s.transmitSetFor), 1);
            EXPECT_EQ(c.split ? daemon.SplitFrequency() : daemon.Frequency(), *s.setTransmit);
        } else {
            EXPECT_FALSE(s.setTransmit.has_value());
        }
        if (c.split) {
            EXPECT_EQ(daemon.Frequency(), *s.setReceive);  // the receive VFO stays
        }
        if (c.ptt && !c.split) {
            ASSERT_TRUE(Key(daemon, false));
            ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) {
                return s.transmitting == false && s.setReceive;
            })) << radio_.Current().state
                << ", PTT " << radio_.Current().transmitting.value_or(-1) << ", rigctld's PTT " << daemon.Ask("t")
                << ", dial " << daemon.Frequency();
            EXPECT_EQ(daemon.Frequency(), *radio_.Current().setReceive);
        }
        radio_.Reset();
    }
}

// A rigctld stopped with SIGSTOP: the ticks go on, a rotator behind rotctld is answered while the rig
// still says nothing, the failure is told once as the rotators' are, and the rig is tuned again once it
// is let go on.
// Another program moving the dial by more than 100 Hz is warned of, on the page and in the journal.
TEST_F(RadioTrackingTest, DialMovedByAnotherProgramIsWarnedOf) {
    tracking_test::RigctlDaemon daemon;
    Use(Mode::kOwnEcho, 0, true, {2, daemon.Address(), 0});
    ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) { return s.setReceive && s.readReceive; }))
        << radio_.Current().state;
    EXPECT_EQ(radio_.Current().warning, "");
    daemon.Ask("F 10368000000");
    ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) { return !s.warning.empty(); }))
        << daemon.Frequency() << ' ' << radio_.Current().readReceive.value_or(-1) << ' '
        << radio_.Current().transmitting.value_or(-1) << ' ' << radio_.Current().state;
    EXPECT_NE(radio_.Current().warning.find("10368000000 Hz without Lunark setting it"), std::string::npos);
    EXPECT_NE(journal_.Text().find("Radio: The rig's frequency moved to 10368000000 Hz"), std::string::npos);
}

TEST_F(RadioTrackingTest, StalledRigctldHoldsUpNothingAndIsTakenUpAgain) {
    tracking_test::RigctlDaemon rig;
    tracking_test::RotctlDaemon rotator;
    Use(Mode::kOwnEcho, 0, true, {2, rig.Address(), 0});
    ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) { return s.state == "answers"; }));

    rig.Pause();
    ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) { return s.state != "answers"; }));
    std::promise<HamlibRotator::Result> moved;
    HamlibRotator::Registry rotators;  // the rotator, on a worker of its own
    rotators.For({2, rotator.Address(), 0})
        ->Post({HamlibRotator::Command::kSetPosition, 12, 34},
               [&moved](const HamlibRotator::Result& result) { moved.set_value(result); });
    std::future<HamlibRotator::Result> answer = moved.get_future();
    // Ticking on while the rotator's request runs: it is answered with the rig still stopped.
    bool answered = false;
    TickUntil(
        [&](const RadioTracking::Status&) { return answered = answer.wait_for(0s) == std::future_status::ready; });
    ASSERT_TRUE(answered);
    EXPECT_TRUE(answer.get().ok);
    // Told as the rotators' failures are (once per failure: a loaded machine may see a slow answer before).
    ASSERT_FALSE(messages_.empty());
    for (const std::string& message : messages_) EXPECT_EQ(message, "Radio error - " + rig.Address());
    EXPECT_NE(journal_.Text().find(": Radio error - " + rig.Address() + ": "), std::string::npos) << journal_.Text();

    rig.Resume();
    ASSERT_TRUE(TickUntil([](const RadioTracking::Status& s) { return s.state == "answers"; }))
        << radio_.Current().state;
    EXPECT_NE(journal_.Text().find("Radio: " + rig.Address() + " answers again"), std::string::npos);
    ASSERT_TRUE(TickUntil([&](const RadioTracking::Status& s) { return rig.Frequency() == s.setReceive; }));
    rotators.KeepOnly({});
}

}  // namespace
