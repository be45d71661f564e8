// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driving rotator lines: pseudo-terminals mapped as COM1 and COM2.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BuildPaths.h"
#include "HamlibStandIns.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "Location.h"
#include "MessageBoxes.h"
#include "Messages.h"
#include "MoveTiming.h"
#include "Position.h"
#include "PseudoTerminal.h"
#include "RotatorSettings.h"
#include "RotatorTracking.h"
#include "Startup.h"
#include "StationState.h"
#include "TempDir.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit4.h"
#include "WeakSignalDx.h"
#include "WindowTimer.h"

namespace {

using namespace std::chrono;
using tracking_test::PseudoTerminal;

class TrackingWindow : public ::testing::Test {
protected:
    StationState state_;
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        // One instant throughout, so that every update shows the same position.
        previousClock_ = Location::SetClock([] { return sys_days{2023y / March / 22} + 12h; });
        message_boxes::SetResponder([this](message_boxes::Kind kind, const QString&, const QString& text) {
            if (kind == message_boxes::Kind::Plain) plainBoxes_.push_back(text.toStdString());
        });
        // The program's own messages go where the program's start sends them.
        previousHandler_ = Messages::SetMessageHandler(nullptr);
        startup::InitialiseApplication();
    }
    void TearDown() override {
        HamlibTransport::SetDelivery({});  // the start-up wiring handed Hamlib's results to the event loop
        Messages::SetMessageHandler(previousHandler_);
        message_boxes::SetResponder(nullptr);
        Location::SetClock(previousClock_);
        Unit4::Form4 = nullptr;
    }

    // YAESU on both axes, COM1 the azimuth line, COM2 the elevation line (or the devices given).
    void ShowWindow(TForm1& form, const std::string& azimuthDevice = "", const std::string& elevationDevice = "") {
        test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                     "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=1\nEL_COM_NR=2\nAZtype=YAESU GS-232A 9600bd\n"
                                     "ELtype=YAESU GS-232A 9600bd\nTrackInterval=1\n[Ports]\nCOM1=" +
                                         (azimuthDevice.empty() ? azimuthLine_.Path() : azimuthDevice) + "\nCOM2=" +
                                         (elevationDevice.empty() ? elevationLine_.Path() : elevationDevice) + "\n");
        Unit3::LoadSettings(Unit3::ExecutablePath);
        form.show();
        QCoreApplication::processEvents();
        form.Label1->setText("Label1");  // so that what follows must write the labels anew
        form.Label2->setText("Label2");
    }

    // What the controllers must have received for the labels the window shows: "M" and the
    // azimuth, then "W", azimuth, blank, elevation; three digits at least, elevation held at 0.
    void ExpectCommandsMatchLabels(const TForm1& form) {
        const QString azimuthText = form.Label1->text(), elevationText = form.Label2->text();
        ASSERT_TRUE(azimuthText.startsWith("Azimuth:   ") && elevationText.startsWith("Elevation: "));
        bool azimuthIsNumber = false, elevationIsNumber = false;
        const int azimuth = azimuthText.mid(11).toInt(&azimuthIsNumber);
        const int elevation = elevationText.mid(11).toInt(&elevationIsNumber);
        ASSERT_TRUE(azimuthIsNumber && elevationIsNumber) << azimuthText.toStdString();
        const std::string az = QString::number(azimuth).rightJustified(3, '0').toStdString();
        const std::string el = QString::number(std::max(elevation, 0)).rightJustified(3, '0').toStdString();
        EXPECT_EQ(azimuthLine_.Received(az.size() + 2), "M" + az + "\r");
        EXPECT_EQ(elevationLine_.Received(az.size() + el.size() + 3), "W" + az + " " + el + "\r");
    }

    test_support::TempDir dir_;
    PseudoTerminal azimuthLine_, elevationLine_;
    std::vector<std::string> plainBoxes_;
    Location::ClockFunction previousClock_;
    Messages::MessageHandler previousHandler_;
};

TEST_F(TrackingWindow, TrackSendsWhatTheLabelsShow) {
    TForm1 form(state_);
    ShowWindow(form);
    form.Button1->click();
    ExpectCommandsMatchLabels(form);
    EXPECT_TRUE(plainBoxes_.empty());
}

TEST_F(TrackingWindow, ContinuousTrackingSendsAtTheTrackingTimersTickOnly) {
    TForm1 form(state_);
    ShowWindow(form);
    form.Timer1Timer();  // not ticked: nothing goes out
    form.CheckBox1->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(azimuthLine_.Received(0), "");  // ticking the box sends nothing by itself
    form.Timer2Timer();                       // the refresh computes and shows
    form.Timer1Timer();                       // the tracking tick sends what was computed
    ExpectCommandsMatchLabels(form);
}

// With [Station] RetrySeconds, a line whose command failed is sent the position again while
// "Cont. track" is ticked, as soon as it takes it, and not waiting for the next tick.
TEST_F(TrackingWindow, AFailedLineIsRetriedUntilItTakesThePosition) {
    TForm1 form(state_);
    ShowWindow(form, dir_.File("unplugged"));
    const std::string lunark = test_support::ReadFileBytes(dir_.File("lunark.ini"));
    test_support::WriteFileBytes(dir_.File("lunark.ini"), lunark + "[Station]\nRetrySeconds=1\n");
    form.SettingsApplied();
    form.CheckBox1->click();
    form.Timer2Timer();
    form.Timer1Timer();
    ASSERT_EQ(plainBoxes_, std::vector<std::string>{"Comms error - COM1"});
    const std::string elevationCommand = elevationLine_.ReceivedNow();
    ASSERT_FALSE(elevationCommand.empty());

    // Plugged in again: the next retry reaches it; the elevation line, which took its command, is
    // left alone.
    std::string plugged = lunark;
    plugged.replace(plugged.find(dir_.File("unplugged")), dir_.File("unplugged").size(), azimuthLine_.Path());
    test_support::WriteFileBytes(dir_.File("lunark.ini"), plugged + "[Station]\nRetrySeconds=1\n");
    std::string received;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return (received += azimuthLine_.ReceivedNow()).find('\r') != std::string::npos; }, 10000));
    std::string azimuthCommand = "M";  // the azimuth the elevation line was given
    azimuthCommand.append(elevationCommand, 1, elevationCommand.find(' ') - 1).append("\r");
    EXPECT_EQ(received, azimuthCommand);
    EXPECT_EQ(elevationLine_.ReceivedNow(), "");
}

// With [Station] ResumeTracking=1, "Cont. track" comes back at start-up as it was when Lunark last
// ran, and the first position known goes out at once; the box's state is kept whenever it
// changes. Without the switch neither happens.
TEST_F(TrackingWindow, TrackingThatWasOnResumesAtStartUpWhenAsked) {
    for (const bool resume : {true, false}) {
        SCOPED_TRACE(resume);
        TForm1 settingsWriter(state_);
        ShowWindow(settingsWriter);
        settingsWriter.hide();
        const std::string station =
            std::string("[Station]\nLog=0\nTracking=1\n") + (resume ? "ResumeTracking=1\n" : "");
        test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                     test_support::ReadFileBytes(dir_.File("lunark.ini")) + station);
        Position::AZvalue.clear();  // a new run: no position yet
        Position::ELvalue.clear();
        const startup::ProgramWindows windows = startup::CreateWindows();
        TForm1& form = *windows.form1;
        EXPECT_EQ(form.CheckBox1->isChecked(), resume);
        EXPECT_EQ(azimuthLine_.ReceivedNow(), "");  // nothing before a position is known
        form.Timer2Timer();                         // the first position
        if (resume) {
            ExpectCommandsMatchLabels(form);
            EXPECT_NE(windows.state->journal.Text().find("Tracking resumed"), std::string::npos)
                << windows.state->journal.Text();
        } else {
            EXPECT_EQ(azimuthLine_.ReceivedNow() + elevationLine_.ReceivedNow(), "");
            EXPECT_EQ(windows.state->journal.Text().find("Tracking resumed"), std::string::npos);
        }
        form.CheckBox1->setChecked(!form.CheckBox1->isChecked());
        const std::string kept = test_support::ReadFileBytes(dir_.File("lunark.ini"));
        EXPECT_NE(kept.find(resume ? "Tracking=0" : "Tracking=1"), std::string::npos) << kept;
    }
}

// The program killed with tracking on (kill -9, as a power cut) resumes at its next start when
// asked to: its first position goes out on the lines without anyone ticking the box.
TEST(ProgramRestart, TrackingOnWhenKilledResumesAtTheNextStart) {
    test_support::TempDir dir;
    PseudoTerminal azimuthLine, elevationLine;
    const std::string program = dir.File("lunark");
    std::filesystem::copy_file(LUNARK_PROGRAM_PATH, program);  // its settings lie beside it
    test_support::WriteFileBytes(dir.File("lunark.ini"),
                                 "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=1\nEL_COM_NR=2\nAZtype=YAESU GS-232A 9600bd\n"
                                 "ELtype=YAESU GS-232A 9600bd\nTrackInterval=60\n[Ports]\nCOM1=" +
                                     azimuthLine.Path() + "\nCOM2=" + elevationLine.Path() +
                                     "\n[Station]\nLog=0\nResumeTracking=1\nTracking=1\n");
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::string received;
        const auto deadline = steady_clock::now() + 20s;
        while (received.find('\r') == std::string::npos && steady_clock::now() < deadline) {
            received += azimuthLine.Received(1);
        }
        const std::string elevation = elevationLine.Received(1);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(received.size() >= 5 && received.front() == 'M' && received.back() == '\r') << received;
        EXPECT_EQ(elevation.substr(0, 1), "W");
        EXPECT_NE(test_support::ReadFileBytes(dir.File("lunark.ini")).find("Tracking=1"), std::string::npos);
    }
}

// The real message box as the program's start wires it: the plain one, no icon, no "." added,
// open without holding anything up.
TEST_F(TrackingWindow, AFailedLineShowsThePlainBoxAndTheOtherLineStillGetsItsCommand) {
    message_boxes::SetResponder(nullptr);
    std::vector<std::pair<QMessageBox::Icon, QString>> shown;
    const auto readBoxes = [&shown] {  // reads and closes each box that is open
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(window); box != nullptr && box->isVisible()) {
                shown.emplace_back(box->icon(), box->text());
                box->accept();
            }
        }
    };
    const struct {
        bool azimuthUnplugged;
        const char* message;
        const char* commandLetter;  // what the other line still receives
    } cases[] = {{true, "Comms error - COM1", "W"}, {false, "Comms error - COM2", "M"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        shown.clear();
        TForm1 form(state_);
        const std::string unplugged = dir_.File("unplugged");
        ShowWindow(form, c.azimuthUnplugged ? unplugged : "", c.azimuthUnplugged ? "" : unplugged);
        Unit1::Form1 = &form;
        form.Button1->click();
        readBoxes();
        Unit1::Form1 = nullptr;
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].first, QMessageBox::NoIcon);
        EXPECT_EQ(shown[0].second, c.message);
        PseudoTerminal& other = c.azimuthUnplugged ? elevationLine_ : azimuthLine_;
        EXPECT_EQ(other.Received(5).substr(0, 1), c.commandLetter);
        form.hide();
    }
}

// The azimuth on a Hamlib rotator served by rotctld, the elevation on its YAESU line. The Moon
// stands at 170.25/39.56; with the azimuth offset -170 the rotator turns to 0.25 and keeps its
// own elevation, 0.
TEST_F(TrackingWindow, TrackDrivesAHamlibRotatorWhoseFailureStopsNothing) {
    tracking_test::RotctlDaemon daemon;
    test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                 "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=1\nEL_COM_NR=2\nAZoffset=-170\nAZtype=Hamlib\n"
                                 "ELtype=YAESU GS-232A 9600bd\n[Ports]\nCOM2=" +
                                     elevationLine_.Path() + "\n[Hamlib]\nAzModel=2\nAzDevice=" + daemon.Address() +
                                     "\n");
    Unit3::LoadSettings(Unit3::ExecutablePath);
    startup::DeliverHamlibResults();
    TForm1 form(state_);
    form.show();
    // Clicks Track and lets the event loop run until the rotator's result has been handled.
    const auto track = [&] {
        state_.hamlib.ForgetResults();
        form.Button1->click();
        const auto deadline = steady_clock::now() + 30s;
        while (!state_.hamlib.LastResult(Protocols::Axis::kAzimuth) && steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        const auto last = state_.hamlib.LastResult(Protocols::Axis::kAzimuth);
        return last ? last->result : HamlibRotator::Result{};
    };

    const HamlibRotator::Result moved = track();
    EXPECT_TRUE(moved.ok) << moved.reason;
    EXPECT_EQ(elevationLine_.Received(9), "W000 040\r");
    double azimuth = -1, elevation = -1;
    for (int tries = 0; tries < 50 && !(daemon.ReadWithRotctl(azimuth, elevation) && std::abs(azimuth - 0.25) < 0.005);
         ++tries) {
        QTest::qWait(100);
    }
    EXPECT_NEAR(azimuth, 0.25, 0.005);
    EXPECT_NEAR(elevation, 0.0, 0.005);
    EXPECT_TRUE(plainBoxes_.empty());
    EXPECT_EQ(azimuthLine_.Received(0), "");  // a Hamlib axis has no COM line

    daemon.Kill();
    EXPECT_FALSE(track().ok);
    EXPECT_EQ(elevationLine_.Received(9), "W000 040\r");
    EXPECT_EQ(plainBoxes_, std::vector<std::string>{"Comms error - " + daemon.Address()});

    daemon.Start();
    EXPECT_TRUE(track().ok);
    EXPECT_EQ(plainBoxes_.size(), 1u);
    HamlibTransport::SetDelivery({});
}

// Both axes on one Hamlib rotator: whatever the [Rotator] settings, it is sent the Moon's
// 170.25/39.56 unrounded with the offset (0.25 on the turn the whole degrees take), held only
// by the elevation range.
TEST_F(TrackingWindow, TrackSendsAHamlibRotatorTheUnroundedPositionWhateverTheRotatorSettings) {
    const struct {
        const char* rotator;
        double azimuth, elevation;
    } cases[] = {
        {"", 0.25, 39.56},
        {"[Rotator]\nAzimuthRange=0-450\n", 0.25, 39.56},
        {"[Rotator]\nAzimuthRange=0-540\nDeadband=5\nBelowHorizon=park:90,0\n", 0.25, 39.56},
        {"[Rotator]\nElevationRange=0-30\n", 0.25, 30.0},
    };
    tracking_test::RotctlDaemon daemon;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rotator);
        test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                     "[Lunark]\nLocator=JO22IC\nAZoffset=-170\nAZtype=Hamlib\nELtype=Hamlib\n"
                                     "[Hamlib]\nAzModel=2\nAzDevice=" +
                                         daemon.Address() + "\nElModel=2\nElDevice=" + daemon.Address() + "\n" +
                                         c.rotator);
        Unit3::LoadSettings(Unit3::ExecutablePath);
        state_.hamlib.ForgetResults();
        TForm1 form(state_);
        form.show();
        form.Button1->click();
        const auto deadline = steady_clock::now() + 30s;
        while (!state_.hamlib.LastResult(Protocols::Axis::kAzimuth) && steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // What rotctld took (its simulated rotator then turns there at its own pace).
        const auto last = state_.hamlib.LastResult(Protocols::Axis::kAzimuth);
        ASSERT_TRUE(last && last->result.ok && last->result.sent);
        EXPECT_NEAR(last->result.sent->azimuth, c.azimuth, 0.005);
        EXPECT_NEAR(last->result.sent->elevation, c.elevation, 0.005);
        form.hide();
    }
}

// A target that turns 0.1 degrees a second in azimuth from 100.2 at 2023-03-22 12:00 UTC, at a
// fixed elevation of 30.2, and a clock the test moves.
constexpr double kNoonDayNumber = 45007.5;
void TurningTarget(double day, long double, long double, long double& elevation, long double& azimuth) {
    azimuth = 100.2L + (day - kNoonDayNumber) * 86400.0L * 0.1L;
    elevation = 30.2L;
}

class TrackingWindowInSeconds : public TrackingWindow {
protected:
    void SetUp() override {
        TrackingWindow::SetUp();
        Location::SetClock([this] { return sys_days{2023y / March / 22} + 12h + seconds_; });
        previousMoon_ = Position::SetMoonPosition(TurningTarget);
    }
    void TearDown() override {
        Position::SetMoonPosition(previousMoon_);
        TrackingWindow::TearDown();
    }
    // Puts [Rotator] settings changed by `change` in force, as the Rotator page's "Apply" does.
    void ChangeRotatorSettings(const std::function<void(RotatorSettings::Settings&)>& change) {
        RotatorSettings::Settings settings = state_.rotators.Settings();
        change(settings);
        state_.rotators.Use(settings);
    }
    // Ticks "Cont. track" every 10 seconds for a minute; the azimuth commands received. A tick's
    // serial send is done when the tick returns, so what it sent is there at once.
    std::vector<std::string> TickForAMinute(TForm1& form) {
        std::vector<std::string> commands;
        for (int tick = 1; tick <= 6; ++tick) {
            seconds_ += 10s;
            form.Timer1Timer();
            const std::string received = azimuthLine_.ReceivedNow();
            if (!received.empty()) commands.push_back(received);
        }
        return commands;
    }
    seconds seconds_{0};
    Position::MoonPositionFunction previousMoon_ = nullptr;
};

TEST_F(TrackingWindowInSeconds, EachTenSecondTickSendsThePositionOfItsOwnMoment) {
    TForm1 form(state_);
    ShowWindow(form);
    ChangeRotatorSettings([](RotatorSettings::Settings& settings) { settings.intervalSeconds = 10; });
    form.OnActivate();
    EXPECT_EQ(form.Timer1->Interval(), 10000);
    form.CheckBox1->click();
    QCoreApplication::processEvents();
    // 12:00:10 is 101.2, 12:00:20 is 102.2, ...: one degree a tick, no refresh needed.
    EXPECT_EQ(TickForAMinute(form),
              (std::vector<std::string>{"M101\r", "M102\r", "M103\r", "M104\r", "M105\r", "M106\r"}));
    EXPECT_EQ(form.Label1->text().toStdString(), "Azimuth:   106");
}

TEST_F(TrackingWindowInSeconds, TheDeadbandSparesTicksButNotTrack) {
    TForm1 form(state_);
    ShowWindow(form);
    ChangeRotatorSettings([](RotatorSettings::Settings& settings) {
        settings.intervalSeconds = 10;
        settings.deadband = 2;
    });
    form.CheckBox1->click();
    QCoreApplication::processEvents();
    // 101 goes (nothing sent yet), 102 is one degree on, 103 two, and so on.
    EXPECT_EQ(TickForAMinute(form), (std::vector<std::string>{"M101\r", "M103\r", "M105\r"}));
    form.Button1->click();  // "Track" sends though the target moved one degree only
    EXPECT_EQ(azimuthLine_.Received(5), "M106\r");
}

// [Rotator] MoveWindow: a tick outside the window sends nothing, and what it owes goes when the move
// timer fires at the window's start, with the position of that moment, once; "Track" sends at once.
// MoveWhen=not-transmitting holds ticks while the weak-signal program transmits, until its status
// says it stopped or grows stale.
TEST_F(TrackingWindowInSeconds, AutomaticSendsWaitForTheMoveWindowOrTheEndOfTransmittingButTrackDoesNot) {
    TForm1 form(state_);
    ShowWindow(form);
    ChangeRotatorSettings([](RotatorSettings::Settings& settings) {
        settings.intervalSeconds = 10;
        settings.moveWindow = MoveWindow::Window{50, 59};
    });
    form.CheckBox1->click();
    QCoreApplication::processEvents();
    const Location::Instant noon = sys_days{2023y / March / 22} + 12h;
    const auto tickAt = [&](seconds at) {
        seconds_ = at;
        form.Timer1Timer();
        return azimuthLine_.ReceivedNow();
    };
    const auto moveTimerAt = [&](seconds at) {
        seconds_ = at;
        form.MoveTimerTimer();
        return azimuthLine_.ReceivedNow();
    };

    EXPECT_EQ(tickAt(10s), "");
    EXPECT_EQ(form.NextSendTime(), (MoveTiming::When{noon + 50s, false}));
    seconds_ = 20s;
    form.Button1->click();
    EXPECT_EQ(azimuthLine_.Received(5), "M102\r");
    EXPECT_EQ(tickAt(30s), "");
    EXPECT_EQ(moveTimerAt(50s), "M105\r");  // 105.2 at 12:00:50, not what the ticks saw
    EXPECT_EQ(moveTimerAt(51s), "");        // never twice
    EXPECT_EQ(tickAt(55s), "M106\r");       // inside the window: at once

    ChangeRotatorSettings([](RotatorSettings::Settings& settings) {
        settings.moveWindow.reset();
        settings.moveWhenNotTransmitting = true;
    });
    WeakSignalDx::Set({"", std::nullopt, noon + 70s, true});
    EXPECT_EQ(tickAt(70s), "");
    EXPECT_EQ(form.NextSendTime(), (MoveTiming::When{noon + 190s, true}));  // the status grows stale then
    WeakSignalDx::Set({"", std::nullopt, noon + 75s, false});
    EXPECT_EQ(moveTimerAt(75s), "M108\r");
    WeakSignalDx::Set({"", std::nullopt, noon + 80s, true});
    EXPECT_EQ(tickAt(80s + WeakSignalDx::kFreshFor + 1s), "M120\r");  // a stale status transmits nothing
    WeakSignalDx::Clear();
}

}  // namespace
