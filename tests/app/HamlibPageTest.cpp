// SPDX-License-Identifier: GPL-3.0-or-later
// The station window's Hamlib page, driving Hamlib's own rotctld (its simulated rotator) on a
// loopback port through the program's windows, offscreen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "HamlibPage.h"
#include "HamlibStandIns.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "Location.h"
#include "Messages.h"
#include "SkyPlot.h"
#include "Startup.h"
#include "Station.h"
#include "StationLog.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;
using tracking_test::RotctlDaemon;

constexpr int kWaitMs = 20000;  // Hamlib's timeouts end every request well within this

const std::string kLunarkSection =
    "[Lunark]\nLocator=JO22IC\nTop=100\nLeft=100\nAZ_COM_NR=1\nEL_COM_NR=2\nAZoffset=0\nELoffset=0\n"
    "AZtype=Hamlib\nELtype=Hamlib\nTrackInterval=0\n";

class HamlibPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        test_support::WriteFileBytes(Settings(), kLunarkSection);
        previousClock_ = Location::SetClock([] { return Location::Instant(sys_days{2023y / March / 22} + 12h); });
        previousHandler_ = Messages::SetMessageHandler([this](const std::string& text) { messages_.push_back(text); });
        startup::DeliverHamlibResults();
        windows_.emplace(startup::CreateWindows());
        page_ = windows_->station->findChild<THamlibPage*>();
        ASSERT_NE(page_, nullptr);
        // Refreshed from here on, as when open; every 100 ms rather than every second, so that a
        // label is not waited for up to a second after each step.
        windows_->station->SetRefreshPeriod(100ms);
        windows_->station->ShowBeside(nullptr);
    }
    void TearDown() override {
        windows_.reset();
        HamlibTransport::SetDelivery({});
        Messages::SetMessageHandler(previousHandler_);
        Location::SetClock(previousClock_);
    }

    std::string Settings() const { return dir_.File("lunark.ini"); }

    // Chooses a model through the search box and gives the device, as the operator types them.
    static void Choose(THamlibPage::AxisControls& axis, const QString& search, const QString& device) {
        axis.search->clear();
        QTest::keyClicks(axis.search, search);
        axis.device->setText(device);
    }
    // Both axes on the daemon, applied.
    void ChooseDaemonForBothAxes() {
        const QString address = QString::fromStdString(daemon_.Address());
        Choose(page_->Azimuth, QStringLiteral("rotctl"), address);
        Choose(page_->Elevation, QStringLiteral("net rotctl"), address);
        page_->ApplyButton->click();
    }
    // The station window's refreshes, as many as make one read-back.
    void RefreshUntilReadBack() {
        for (int refresh = 0; refresh < THamlibPage::kReadBackEvery; ++refresh) windows_->station->Refresh();
    }
    static bool Shows(const QLabel* label, const QString& start) {
        return QTest::qWaitFor([&] { return label->text().startsWith(start); }, kWaitMs);
    }
    // "193.13° az, 11.43° el" as numbers.
    static std::pair<double, double> Bearing(const QLabel* label) {
        const QStringList parts =
            label->text().split(QRegularExpression(QStringLiteral("[^0-9.\\-]+")), Qt::SkipEmptyParts);
        return parts.size() >= 2 ? std::pair{parts[0].toDouble(), parts[1].toDouble()} : std::pair{-1000.0, -1000.0};
    }
    std::string JournalText() const { return windows_->state->journal.Text(); }
    bool JournalHas(const std::string& text) const { return JournalText().find(text) != std::string::npos; }

    test_support::TempDir dir_;
    RotctlDaemon daemon_;
    std::optional<startup::ProgramWindows> windows_;
    THamlibPage* page_ = nullptr;
    std::vector<std::string> messages_;
    Location::ClockFunction previousClock_;
    Messages::MessageHandler previousHandler_;
};

// The search narrows Hamlib's list to the models holding every word; a search that finds
// nothing leaves the choice as it was. Numbers and names as `rotctl -l` lists them.
TEST_F(HamlibPageTest, TheSearchBoxFindsModelsByManufacturerNameOrNumber) {
    const struct {
        const char* search;
        int model;
    } cases[] = {
        {"net rotctl", 2}, {"GS-232A", 601}, {"spid rot2prog", 901}, {"yaesu 603", 603}, {"easycommII", 202},
        {"zzz qqq", 202},  {"", 202},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.search);
        page_->Azimuth.search->clear();
        QTest::keyClicks(page_->Azimuth.search, QString::fromLatin1(c.search));
        EXPECT_EQ(page_->Azimuth.model->currentData().toInt(), c.model);
    }
    // A serial model takes a line speed; rotctld's client does not.
    page_->Azimuth.search->setText(QStringLiteral("GS-232A"));
    EXPECT_TRUE(page_->Azimuth.lineSpeed->isEnabled());
    page_->Azimuth.search->setText(QStringLiteral("net rotctl"));
    EXPECT_FALSE(page_->Azimuth.lineSpeed->isEnabled());
}

TEST_F(HamlibPageTest, ApplyWritesTheHamlibSectionAndLeavesTheRestOfTheFile) {
    const std::string before = test_support::ReadFileBytes(Settings());
    ASSERT_EQ(before.substr(0, kLunarkSection.size()), kLunarkSection);
    ChooseDaemonForBothAxes();
    EXPECT_EQ(test_support::ReadFileBytes(Settings()), before + "[Hamlib]\nAzModel=2\nAzDevice=" + daemon_.Address() +
                                                           "\nElModel=2\nElDevice=" + daemon_.Address() + "\n");
    EXPECT_TRUE(JournalHas("Settings: AzModel 0 -> 2")) << JournalText();
    EXPECT_TRUE(JournalHas("Settings: ElDevice none -> " + daemon_.Address()));

    // In force at once: the station window names the rotator, and the read Apply asked for arrives.
    windows_->station->Refresh();
    EXPECT_EQ(windows_->station->Field(QStringLiteral("azimuthPort")), QStringLiteral("model 2 (Hamlib NET rotctl)"));
    EXPECT_EQ(windows_->station->Field(QStringLiteral("elevationDevice")), QString::fromStdString(daemon_.Address()));
    EXPECT_TRUE(Shows(page_->Azimuth.actual, QStringLiteral("0.00\u00B0 az, 0.00\u00B0 el")));
    EXPECT_EQ(page_->Azimuth.state->text(), QStringLiteral("answers"));

    page_->ApplyButton->click();  // nothing changed: nothing written
    EXPECT_EQ(page_->MessageLabel->text(), QStringLiteral("Nothing changed."));
}

// Track moves the rotator; after Stop it stands still, the page reads it back, and commanded
// against actual matches what rotctl reads; Park takes it home.
TEST_F(HamlibPageTest, TrackMovesTheRotatorAndThePageShowsCommandedAgainstActual) {
    ChooseDaemonForBothAxes();
    windows_->form1->Button1->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page_->Azimuth.commanded->text().contains(QStringLiteral(" az")); }, kWaitMs));
    const auto [commandedAzimuth, commandedElevation] = Bearing(page_->Azimuth.commanded);
    // What was sent is the Moon's position the station window shows (no offsets here; below the
    // horizon the elevation goes as 0).
    EXPECT_NEAR(commandedAzimuth, windows_->station->Field(QStringLiteral("moonAzimuth")).chopped(1).toDouble(), 0.011);
    EXPECT_EQ(windows_->station->Field(QStringLiteral("azimuthCommand")),
              QStringLiteral("set position %1 %2").arg(commandedAzimuth, 0, 'f', 2).arg(commandedElevation, 0, 'f', 2));

    double azimuth = 0, elevation = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return daemon_.ReadWithRotctl(azimuth, elevation) && azimuth > 1.0; }, kWaitMs));
    page_->Azimuth.stop->click();
    ASSERT_TRUE(Shows(page_->Azimuth.lastCommand, QStringLiteral("stop at ")));
    ASSERT_TRUE(daemon_.ReadWithRotctl(azimuth, elevation));
    ASSERT_LT(azimuth, commandedAzimuth);

    RefreshUntilReadBack();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return std::abs(Bearing(page_->Azimuth.actual).first - azimuth) < 0.005; }, kWaitMs))
        << page_->Azimuth.actual->text().toStdString();
    EXPECT_NEAR(Bearing(page_->Elevation.actual).second, elevation, 0.005);
    // The sky plot rings where the rotator says it stands.
    auto* sky = windows_->station->findChild<TSkyPlot*>();
    ASSERT_NE(sky, nullptr);
    sky->Refresh();
    ASSERT_TRUE(sky->ReadBack());
    EXPECT_NEAR(static_cast<double>(sky->ReadBack()->azimuth), azimuth, 0.005);
    EXPECT_NEAR(static_cast<double>(sky->ReadBack()->elevation), elevation, 0.005);
    EXPECT_TRUE(page_->Azimuth.difference->text().endsWith(QStringLiteral("\u00B0 in azimuth")));
    EXPECT_NEAR(page_->Azimuth.difference->text().section(u'\u00B0', 0, 0).toDouble(), azimuth - commandedAzimuth,
                0.011);
    EXPECT_TRUE(JournalHas("Azimuth and elevation: stop on Hamlib model 2 (Hamlib NET rotctl) at " + daemon_.Address() +
                           ": done"))
        << JournalText();

    page_->Elevation.park->click();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return daemon_.ReadWithRotctl(azimuth, elevation) && std::abs(azimuth) < 0.005 &&
                   std::abs(elevation) < 0.005;
        },
        kWaitMs));  // the simulator's park position
    EXPECT_TRUE(Shows(page_->Elevation.lastCommand, QStringLiteral("park at ")));
    EXPECT_TRUE(messages_.empty());
}

// rotctld stopped (SIGSTOP) keeps its connection and answers nothing: Track's send fails after
// Hamlib's timeout, the page, the axis group and the journal say so, and the page goes on; once
// rotctld runs again the rotator answers.
TEST_F(HamlibPageTest, AStoppedRotctldShowsTheFailureAndThePageGoesOn) {
    ChooseDaemonForBothAxes();
    ASSERT_TRUE(Shows(page_->Azimuth.state, QStringLiteral("answers")));
    page_->Azimuth.stop->click();
    EXPECT_EQ(page_->MessageLabel->text(), QStringLiteral("Stop asked of the azimuth rotator."));
    ASSERT_TRUE(Shows(page_->Azimuth.lastCommand, QStringLiteral("stop at ")));
    daemon_.Pause();
    windows_->form1->Button1->click();
    const QString address = QString::fromStdString(daemon_.Address());
    const QString failure = QStringLiteral("Comms error - ") + address + QStringLiteral(": set position: ");
    EXPECT_TRUE(Shows(page_->Azimuth.state, failure)) << page_->Azimuth.state->text().toStdString();
    // The line beside the buttons tells the latest event, no longer the stop asked before it.
    EXPECT_TRUE(Shows(page_->MessageLabel, QStringLiteral("Azimuth and elevation: set position ")))
        << page_->MessageLabel->text().toStdString();
    EXPECT_TRUE(page_->MessageLabel->text().contains(failure)) << page_->MessageLabel->text().toStdString();
    EXPECT_TRUE(page_->Elevation.state->text().startsWith(failure));
    EXPECT_TRUE(page_->Azimuth.lastCommand->text().endsWith(QStringLiteral(": failed")));
    windows_->station->Refresh();
    const QString result = windows_->station->Field(QStringLiteral("azimuthResult"));
    EXPECT_TRUE(result.startsWith(QStringLiteral("set position: ")) &&
                result.endsWith(QStringLiteral(" (") + address + u')'))
        << result.toStdString();
    EXPECT_EQ(messages_, std::vector<std::string>{"Comms error - " + daemon_.Address()});
    EXPECT_TRUE(JournalHas("Azimuth and elevation: set position ")) << JournalText();
    EXPECT_TRUE(JournalHas(" on Hamlib model 2 (Hamlib NET rotctl) at " + daemon_.Address() + ": Comms error - " +
                           daemon_.Address() + ": set position: "));

    // The page still takes the operator's choices while the rotator is silent.
    Choose(page_->Elevation, QStringLiteral("GS-232A"), QString());
    page_->ApplyButton->click();
    EXPECT_TRUE(page_->MessageLabel->text().startsWith(QStringLiteral("Give the device of the elevation rotator")))
        << page_->MessageLabel->text().toStdString();

    daemon_.Resume();
    RefreshUntilReadBack();
    EXPECT_TRUE(Shows(page_->Azimuth.state, QStringLiteral("answers")));
}

// What cannot be kept is refused with a reason, the file stays as it was, and the fields keep
// what was typed.
TEST_F(HamlibPageTest, ChoicesThatCannotBeKeptAreRefusedAndTheFieldsKept) {
    // Typed as the operator types it: a character outside ASCII reaches the check as such.
    const std::string before = test_support::ReadFileBytes(Settings());
    const QString device = QStringLiteral("/dev/ttyUSB0 \u00E9");
    Choose(page_->Azimuth, QStringLiteral("GS-232A"), device);
    page_->ApplyButton->click();
    EXPECT_TRUE(page_->MessageLabel->text().startsWith(
        QStringLiteral("The device of the azimuth rotator must be printable ASCII")))
        << page_->MessageLabel->text().toStdString();
    EXPECT_EQ(page_->Azimuth.device->text(), device);
    EXPECT_EQ(test_support::ReadFileBytes(Settings()), before);

    // A settings file that cannot be written: the reason names it, the choice stays on the page.
    std::filesystem::remove(Settings());
    std::filesystem::create_directory(Settings());
    Choose(page_->Azimuth, QStringLiteral("net rotctl"), QString::fromStdString(daemon_.Address()));
    page_->ApplyButton->click();
    EXPECT_TRUE(page_->MessageLabel->text().startsWith(QStringLiteral("Not applied: Unable to write to ") +
                                                       QString::fromStdString(Settings())))
        << page_->MessageLabel->text().toStdString();
    EXPECT_EQ(page_->Azimuth.device->text().toStdString(), daemon_.Address());
    EXPECT_TRUE(JournalHas("Settings: the Hamlib rotator of the azimuth not kept: Unable to write to "));
}

}  // namespace
