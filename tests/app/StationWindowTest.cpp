// SPDX-License-Identifier: GPL-3.0-or-later
// The station window, and tracking that never waits for the operator: real boxes, real timers,
// pseudo-terminals for the rotator lines, offscreen.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "Journal.h"
#include "Location.h"
#include "MessageBoxes.h"
#include "Messages.h"
#include "Position.h"
#include "PseudoTerminal.h"
#include "Startup.h"
#include "Station.h"
#include "StationLog.h"
#include "StationState.h"
#include "StationWindow.h"
#include "TempDir.h"
#include "TimeScale.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit4.h"
#include "WindowTimer.h"

namespace {

using namespace std::chrono;
using tracking_test::PseudoTerminal;

std::vector<QMessageBox*> OpenBoxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box != nullptr && box->isVisible()) boxes.push_back(box);
    }
    return boxes;
}

class StationWindowTest : public ::testing::Test {
protected:
    StationState state_;
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        previousClock_ = Location::SetClock([] { return Location::Instant(sys_days{2023y / March / 22} + 12h); });
        // The program's own messages go to the plain box without waiting, as the program installs it.
        previousHandler_ = Messages::SetMessageHandler([this](const std::string& text) {
            message_boxes::ShowPlainWithoutWaiting(owner_, QString::fromStdString(text),
                                                   QString::fromStdString(Journal::UtcTime(Location::Now())));
        });
    }
    void TearDown() override {
        for (QMessageBox* box : OpenBoxes()) box->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Messages::SetMessageHandler(previousHandler_);
        Location::SetClock(previousClock_);
        Unit4::Form4 = nullptr;
        Unit1::Form1 = nullptr;
    }

    // YAESU on both axes with offsets +10 and +5; COM1 the azimuth line, COM2 the elevation line.
    void WriteSettings(const std::string& azimuthDevice, const std::string& elevationDevice) {
        test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                     "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=1\nEL_COM_NR=2\nAZoffset=10\nELoffset=5\n"
                                     "AZtype=YAESU GS-232A 9600bd\nELtype=YAESU GS-232A 9600bd\nTrackInterval=1\n"
                                     "[Ports]\nCOM1=" +
                                         azimuthDevice + "\nCOM2=" + elevationDevice + "\n");
        Unit3::LoadSettings(Unit3::ExecutablePath);
    }

    // What the labels show, plus the offsets, as the controllers take it: three digits at least.
    static std::string Value(const QLabel* label, int offset) {
        const int degrees = std::max(label->text().mid(11).toInt() + offset, 0);
        return QString::number(degrees).rightJustified(3, '0').toStdString();
    }

    test_support::TempDir dir_;
    PseudoTerminal azimuthLine_, elevationLine_;
    QWidget* owner_ = nullptr;
    Location::ClockFunction previousClock_;
    Messages::MessageHandler previousHandler_;
};

// The azimuth controller's adapter is unplugged: each tick fails on the azimuth, yet the elevation
// controller gets its command in every tick, and one box counts the failures.
TEST_F(StationWindowTest, AFailingAxisNeverStallsTheOtherNorTheTicks) {
    WriteSettings(dir_.File("unplugged"), elevationLine_.Path());
    TForm1 form(state_);
    owner_ = &form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.CheckBox1->setChecked(true);

    constexpr int kTicks = 10;
    constexpr int kIntervalMs = 100;
    std::string command = "W";
    command += Value(form.Label1, 10);
    command += ' ';
    command += Value(form.Label2, 5);
    command += '\r';
    std::vector<std::string> receivedInTick;
    form.Timer1->SetOnTimer([&] {
        form.Timer1Timer();
        receivedInTick.push_back(elevationLine_.Received(command.size()));
        if (receivedInTick.size() == kTicks) form.Timer1->SetInterval(0);
    });
    const auto start = steady_clock::now();
    form.Timer1->SetInterval(kIntervalMs);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return receivedInTick.size() == kTicks; }, test_support::ScaledMilliseconds(10000)));
    const auto elapsed = duration_cast<milliseconds>(steady_clock::now() - start);

    for (std::size_t tick = 0; tick < receivedInTick.size(); ++tick) {
        EXPECT_EQ(receivedInTick[tick], command) << "tick " << tick + 1;  // sent in its own tick
    }
    EXPECT_LT(elapsed.count(), kTicks * kIntervalMs + 3000);  // a loose bound: no tick waited for anyone
    const std::vector<QMessageBox*> boxes = OpenBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->text(), "Comms error - COM1\n10 times, last at 12:00:00 UTC");
    EXPECT_EQ(boxes[0]->windowTitle(), "Lunark");
    EXPECT_EQ(boxes[0]->icon(), QMessageBox::NoIcon);
    EXPECT_FALSE(boxes[0]->isModal());
    ASSERT_EQ(boxes[0]->buttons().size(), 1);
    EXPECT_EQ(boxes[0]->standardButton(boxes[0]->buttons().front()), QMessageBox::Ok);

    // Closing it returns to the main window, which updates its position; the count starts again.
    form.Label1->setText("Label1");
    boxes[0]->buttons().front()->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form.Label1->text() != "Label1"; }, test_support::ScaledMilliseconds(5000)));
    EXPECT_TRUE(OpenBoxes().empty());
    form.Timer1Timer();
    ASSERT_EQ(OpenBoxes().size(), 1u);
    EXPECT_EQ(OpenBoxes()[0]->text(), "Comms error - COM1");
    form.hide();
}

TEST_F(StationWindowTest, ShowsTheStationTheMoonAndWhatEachAxisWasToldLive) {
    WriteSettings(azimuthLine_.Path(), dir_.File("unplugged"));
    TForm1 form(state_);
    owner_ = &form;
    TStationWindow station(state_.journal, state_.records, state_.rotators);
    form.SetStationWindow(&station);
    station.SetNextSend([&form] { return form.NextSendTime(); });
    form.show();
    form.Button1->click();
    const std::string az = Value(form.Label1, 10), el = Value(form.Label2, 5);
    ASSERT_EQ(azimuthLine_.Received(az.size() + 2), "M" + az + "\r");

    form.Station1->trigger();
    ASSERT_TRUE(station.isVisible());
    EXPECT_FALSE(station.isModal());
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_EQ(station.windowTitle(), "Lunark " LUNARK_VERSION " station");

    // JO22IC is the corner 52°05' N, 4°40' E.
    EXPECT_EQ(station.Field("stationLocator"), "JO22IC");
    EXPECT_EQ(station.Field("stationPosition"), "52.0833° N, 4.6667° E");
    EXPECT_EQ(station.Field("stationClock"), "2023-03-22 12:00:00 UTC");
    const QRegularExpression degrees2(QStringLiteral("^-?\\d+\\.\\d\\d°$"));
    EXPECT_TRUE(degrees2.match(station.Field("moonAzimuth")).hasMatch()) << station.Field("moonAzimuth").toStdString();
    EXPECT_EQ(std::lround(station.Field("moonAzimuth").chopped(1).toDouble()), form.Label1->text().mid(11).toInt());
    EXPECT_EQ(std::lround(station.Field("moonElevation").chopped(1).toDouble()), form.Label2->text().mid(11).toInt());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\dh \\d\\dm \\d\\ds  \\(\\d+\\.\\d\\d°\\)$"))
                    .match(station.Field("moonRightAscension"))
                    .hasMatch());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^[+-]\\d+\\.\\d\\d°$")).match(station.Field("moonDeclination")).hasMatch());
    const int km = station.Field("moonDistance").chopped(3).remove(u' ').toInt();
    // From the station, not from the Earth's centre (368 797 km): 364 683 km (astropy).
    EXPECT_NEAR(km, 364683, 50);
    EXPECT_EQ(station.Field("moonHorizon"), "above");
    EXPECT_TRUE(station.Field("moonNext").startsWith("sets at 2023-03-22 ")) << station.Field("moonNext").toStdString();

    EXPECT_EQ(station.Field("azimuthProtocol"), "\"YAESU GS-232A 9600bd\"");
    EXPECT_EQ(station.Field("azimuthPort"), "COM1");
    EXPECT_EQ(station.Field("azimuthDevice"), QString::fromStdString(azimuthLine_.Path()));
    EXPECT_EQ(station.Field("azimuthLineSpeed"), "9600 baud, 8-N-1");
    EXPECT_EQ(station.Field("azimuthTarget"), QString::fromStdString(std::to_string(std::stoi(az)) + "°"));
    QString hex;
    for (const char c : "M" + az + "\r") hex += QString::asprintf(hex.isEmpty() ? "%02X" : " %02X", c);
    EXPECT_EQ(station.Field("azimuthCommand"), hex + "    M" + QString::fromStdString(az) + "<CR>");
    EXPECT_EQ(station.Field("azimuthSentAt"), "2023-03-22 12:00:00 UTC");
    EXPECT_EQ(station.Field("azimuthResult"), "sent");
    EXPECT_EQ(station.Field("azimuthNextSend"), "only on Track (Cont. track is off)");
    EXPECT_EQ(station.Field("elevationCommand").section("    ", 1),
              QString::fromStdString("W" + az + " " + el + "<CR>"));
    EXPECT_EQ(station.Field("elevationResult"), QString::fromStdString("not found (" + dir_.File("unplugged") + ")"));

    // Continuous tracking on: the next send is the tracking timer's next tick.
    form.CheckBox1->setChecked(true);
    station.Refresh();
    EXPECT_EQ(station.Field("azimuthNextSend"), "2023-03-22 12:01:00 UTC");

    // The journal, newest first, copied whole.
    const QStringList lines = station.JournalText().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("2023-03-22 12:00:00 UTC  Elevation: W")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(
        QString::fromStdString("not found (" + dir_.File("unplugged") + ") [No such file or directory]")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("2023-03-22 12:00:00 UTC  Azimuth: M")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith("sent"));
    station.CopyJournal();
    EXPECT_EQ(QApplication::clipboard()->text(), station.JournalText());
    EXPECT_EQ(station.Journal1->toPlainText(), station.JournalText());
    station.close();
    form.hide();
}

TEST_F(StationWindowTest, KeepsItsPlaceAndSizeInItsOwnSection) {
    WriteSettings(azimuthLine_.Path(), elevationLine_.Path());
    const std::string before = test_support::ReadFileBytes(dir_.File("lunark.ini"));
    {
        TStationWindow station(state_.journal, state_.records, state_.rotators);
        station.ShowBeside(nullptr);
        station.move(333, 222);
        station.resize(900, 720);
        station.close();
    }
    const std::string after = test_support::ReadFileBytes(dir_.File("lunark.ini"));
    EXPECT_EQ(after, before + "[Station]\nLeft=333\nTop=222\nWidth=900\nHeight=720\n");
    TStationWindow again(state_.journal, state_.records, state_.rotators);
    again.ShowBeside(nullptr);
    EXPECT_EQ(again.pos(), QPoint(333, 222));
    EXPECT_EQ(again.size(), QSize(900, 720));
    again.hide();
}

// The window says which pointing is in force; after a start without a settings file it says that
// the first-run locator is in use, until the locator is first changed, even when changed back.
TEST_F(StationWindowTest, SaysThePointingModeAndTheFirstRunLocatorUntilItIsChanged) {
    test_support::TempDir state;
    ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
    std::filesystem::remove(dir_.File("lunark.ini"));
    {
        const startup::ProgramWindows windows = startup::CreateWindows();
        TStationWindow& station = *windows.form1->StationWindow();
        const struct {
            const char* locator;
            const char* pointing;  // [Pointing] section
            bool firstRunLine;
            const char* mode;
        } steps[] = {
            {"JO22IC", "", true, "whole degrees with the fixed 0.9\u00B0 allowance"},
            {"KO85SS", "[Pointing]\nPrecise=1\n", false, "precise, topocentric"},
            {"JO22IC", "", false, "whole degrees with the fixed 0.9\u00B0 allowance"},
        };
        for (const auto& step : steps) {
            SCOPED_TRACE(step.locator);
            Unit3::Locator = step.locator;
            test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                         std::string("[Lunark]\nLocator=") + step.locator + "\n" + step.pointing);
            station.Refresh();
            EXPECT_EQ(!station.FirstRunLabel->isHidden(), step.firstRunLine);
            EXPECT_EQ(station.Field("stationPointing"), QString::fromUtf8(step.mode));
        }
    }
    {
        // A start with a settings file: no first-run line.
        const startup::ProgramWindows windows = startup::CreateWindows();
        Unit3::Locator = "JO22IC";
        windows.form1->StationWindow()->Refresh();
        EXPECT_TRUE(windows.form1->StationWindow()->FirstRunLabel->isHidden());
    }
    ::unsetenv("XDG_STATE_HOME");
}

// The program's start opens the log where the settings are kept; [Station] Log=0 keeps it shut.
TEST_F(StationWindowTest, TheStartWritesTheLogUnlessItIsTurnedOff) {
    for (const bool enabled : {true, false}) {
        SCOPED_TRACE(enabled);
        test_support::TempDir state;
        ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
        WriteSettings(azimuthLine_.Path(), elevationLine_.Path());
        if (!enabled) {
            test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                         test_support::ReadFileBytes(dir_.File("lunark.ini")) + "[Station]\nLog=0\n");
        }
        {
            const startup::ProgramWindows windows = startup::CreateWindows();
            windows.form1->Button1->click();
            ASSERT_NE(windows.form1->StationWindow(), nullptr);
        }
        ::unsetenv("XDG_STATE_HOME");
        if (!enabled) {
            EXPECT_FALSE(std::filesystem::exists(state.File("lunark/lunark.log")));
            continue;
        }
        const std::string log = test_support::ReadFileBytes(state.File("lunark/lunark.log"));
        EXPECT_NE(log.find("2023-03-22 12:00:00 UTC  Lunark started; settings in " + dir_.File("lunark.ini") + "\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("2023-03-22 12:00:00 UTC  Settings: Locator JO22IC, AZ_COM_NR 1, EL_COM_NR 2, AZoffset 10, "
                           "ELoffset 5, AZtype YAESU GS-232A 9600bd, ELtype YAESU GS-232A 9600bd, TrackInterval 1\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("  Azimuth: M"), std::string::npos) << log;
        EXPECT_NE(log.find("  Elevation: W"), std::string::npos) << log;
    }
}

}  // namespace
