// SPDX-License-Identifier: GPL-3.0-or-later
// The station window's Pointing and Rotator pages as the program builds them: what Apply writes,
// what it refuses, and that tracking follows at once. Pseudo-terminals for the rotator lines,
// offscreen.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "HorizonSettings.h"
#include "Journal.h"
#include "Location.h"
#include "PointingPage.h"
#include "PortsPage.h"
#include "PseudoTerminal.h"
#include "RotatorPage.h"
#include "RotatorSettings.h"
#include "Startup.h"
#include "Station.h"
#include "StationLog.h"
#include "TempDir.h"
#include "Unit3.h"
#include "WindowTimer.h"

namespace {

using namespace std::chrono;
using tracking_test::PseudoTerminal;

class StationPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        previousClock_ = Location::SetClock([this] { return now_; });
    }
    void TearDown() override {
        windows_.reset();
        Location::SetClock(previousClock_);
    }

    // GS-232A on both axes, no offsets: the azimuth line sends "Maaa", the elevation line "Waaa eee".
    std::string Lunark(const std::string& locator) const {
        return "[Lunark]\nLocator=" + locator +
               "\nAZ_COM_NR=1\nEL_COM_NR=2\nAZoffset=0\nELoffset=0\nAZtype=YAESU GS-232A 9600bd\n"
               "ELtype=YAESU GS-232A 9600bd\nTrackInterval=1\n[Ports]\nCOM1=" +
               azimuthLine_.Path() + "\nCOM2=" + elevationLine_.Path() + "\n[Station]\nLog=0\n";
    }
    // Writes the settings file (none: leaves what stands at its path) and starts the program's windows.
    void Start(const std::optional<std::string>& settings) {
        if (settings) test_support::WriteFileBytes(File(), *settings);
        windows_.reset();
        windows_.emplace(startup::CreateWindows());
        pointing_ = windows_->station->findChild<TPointingPage*>();
        rotator_ = windows_->station->findChild<TRotatorPage*>();
        ASSERT_NE(pointing_, nullptr);
        ASSERT_NE(rotator_, nullptr);
    }
    std::string File() const { return dir_.File("lunark.ini"); }
    // The tracking whose settings and mask the windows put in force.
    const RotatorTracking::Tracker& Rotators() const { return windows_->state->rotators; }
    std::string FileText() const { return test_support::ReadFileBytes(File()); }
    std::vector<std::string> SettingsJournal() const {
        std::vector<std::string> lines;
        for (const Journal::Entry& entry : windows_->state->journal.Entries()) {
            if (entry.text.starts_with("Settings: ") && entry.text.find(" -> ") != std::string::npos)
                lines.insert(lines.begin(), entry.text);
        }
        return lines;
    }
    // Minutes from b to a, both "YYYY-MM-DD HH:MM" or with a "T" between date and time.
    static long long MinutesBetween(const QString& a, const QString& b) {
        const auto at = [](QString text) {
            return QDateTime::fromString(text.replace(u'T', u' '), QStringLiteral("yyyy-MM-dd HH:mm"))
                .toSecsSinceEpoch();
        };
        return (at(a) - at(b)) / 60;
    }
    // Commands a controller received, one per carriage return.
    static std::size_t Commands(const std::string& bytes) { return std::count(bytes.begin(), bytes.end(), '\r'); }

    test_support::TempDir dir_;
    PseudoTerminal azimuthLine_, elevationLine_;
    Location::Instant now_ = sys_days{2023y / March / 22} + 12h;
    Location::ClockFunction previousClock_;
    std::optional<startup::ProgramWindows> windows_;
    TPointingPage* pointing_ = nullptr;
    TRotatorPage* rotator_ = nullptr;
};

TEST_F(StationPagesTest, ThePagesSitBesideTheJournal) {
    Start(Lunark("JO22IC"));
    QTabWidget* pages = windows_->station->Pages;
    ASSERT_EQ(pages->count(), 10);
    EXPECT_EQ(pages->tabText(0), "Journal");
    EXPECT_EQ(pages->tabText(1), "Pointing");
    EXPECT_EQ(pages->tabText(2), "Rotator");
    EXPECT_EQ(pages->tabText(3), "Hamlib");
    EXPECT_EQ(pages->tabText(4), "Plan");
    EXPECT_EQ(pages->tabText(5), "Radio");
    EXPECT_EQ(pages->tabText(6), "Calendar");
    EXPECT_EQ(pages->tabText(7), "Sky");
    EXPECT_EQ(pages->tabText(8), "Links");
    EXPECT_EQ(pages->tabText(9), "Ports");
}

// The Ports page over a folder of links standing in for /dev/serial/by-id/ (and by-path/ beside
// it): the adapters present with their names, a mapped device that is gone read "absent" on the
// page and in the axis group, and Apply changes the one line of [Ports] that was chosen.
TEST_F(StationPagesTest, PortsPageListsAdaptersByNameAndApplyWritesOnlyTheChosenLine) {
    namespace fs = std::filesystem;
    const fs::path byId = fs::path(dir_.File("serial")) / "by-id", byPath = fs::path(dir_.File("serial")) / "by-path";
    fs::create_directories(byId);
    fs::create_directories(byPath);
    fs::create_symlink(azimuthLine_.Path(), byId / "usb-FTDI_FT232R_A1");
    fs::create_symlink(elevationLine_.Path(), byId / "usb-Prolific_PL2303_B2");
    fs::create_symlink(dir_.File("unplugged"), byId / "usb-Gone_C3");  // a link left behind
    fs::create_symlink(azimuthLine_.Path(), byPath / "pci-0000:00:14.0-usb-0:2:1.0-port0");
    ::setenv("LUNARK_SERIAL_BY_ID_DIR", byId.c_str(), 1);
    const std::string gone = (byId / "usb-Gone_C3").string(), chosen = (byId / "usb-Prolific_PL2303_B2").string();
    std::string settings = Lunark("JO22IC");
    settings.replace(settings.find("COM2=") + 5, elevationLine_.Path().size(), gone);
    settings = "; my station\r\n" + settings + "[Other]\nKeep=this line\n";
    Start(settings);
    auto* page = windows_->station->findChild<TPortsPage*>();
    ASSERT_NE(page, nullptr);
    windows_->station->Refresh();

    const struct {
        const char* byId;
        const char* byPath;
        std::string now;
    } rows[] = {
        {"usb-FTDI_FT232R_A1", "pci-0000:00:14.0-usb-0:2:1.0-port0", fs::canonical(azimuthLine_.Path()).string()},
        {"usb-Prolific_PL2303_B2", nullptr, fs::canonical(elevationLine_.Path()).string()},
    };
    ASSERT_EQ(page->DeviceTable->rowCount(), static_cast<int>(std::size(rows)));
    for (int row = 0; row < static_cast<int>(std::size(rows)); ++row) {
        const auto& expected = rows[row];
        EXPECT_EQ(page->DeviceTable->item(row, 0)->text().toStdString(), expected.byId);
        EXPECT_EQ(page->DeviceTable->item(row, 1)->text().toStdString(), expected.byPath ? expected.byPath : "none");
        EXPECT_EQ(page->DeviceTable->item(row, 2)->text().toStdString(), expected.now);
    }
    ASSERT_EQ(page->Ports, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(page->MappingLabels[0]->text().toStdString(), "COM1: " + azimuthLine_.Path());
    EXPECT_EQ(page->MappingLabels[1]->text().toStdString(), "COM2: " + gone + " (absent)");
    EXPECT_EQ(windows_->station->Field(QStringLiteral("elevationDevice")).toStdString(), gone + " (absent)");
    EXPECT_EQ(windows_->station->Field(QStringLiteral("azimuthDevice")).toStdString(), azimuthLine_.Path());

    const int choice = page->DeviceBoxes[1]->findData(QString::fromStdString(chosen));
    ASSERT_GE(choice, 0);
    page->DeviceBoxes[1]->setCurrentIndex(choice);
    page->ApplyButton->click();
    std::string expected = settings;
    expected.replace(expected.find(gone), gone.size(), chosen);
    EXPECT_EQ(FileText(), expected);
    EXPECT_EQ(SettingsJournal(), std::vector<std::string>{"Settings: COM2 " + gone + " -> " + chosen});
    EXPECT_EQ(page->MappingLabels[1]->text().toStdString(),
              "COM2: " + chosen + " (now " + fs::canonical(elevationLine_.Path()).string() + ")");
    windows_->station->Refresh();
    EXPECT_EQ(windows_->station->Field(QStringLiteral("elevationDevice")).toStdString(), chosen);
    page->ApplyButton->click();  // nothing chosen anew: the file stays as it is
    EXPECT_EQ(FileText(), expected);
    EXPECT_EQ(page->MessageLabel->text(), QStringLiteral("Nothing changed."));
    ::unsetenv("LUNARK_SERIAL_BY_ID_DIR");
}

// Entries on the Pointing page: what the section gets, appended after the rest of the file that
// stays as it was; entries that cannot be used are refused with the field named and nothing written.
TEST_F(StationPagesTest, PointingApplyWritesWhatChangedAndRefusesWhatCannotBeUsed) {
    const struct {
        const char* what;
        bool precise, sun, refraction;
        const char *latitude, *longitude, *height, *locator, *temperature, *pressure;
        const char* written;  // the section appended; nullptr: refused
        const char* message;  // the start of the message
    } cases[] = {
        {"defaults change nothing", false, false, false, "", "", "", "", "", "", "", "Nothing changed."},
        {"precise on the Sun", true, true, false, "", "", "", "", "", "", "[Pointing]\nPrecise=1\nTarget=Sun\n",
         "Applied"},
        {"exact coordinates", true, false, false, " 52.0912", "4.6711 ", "12", "", "", "",
         "[Pointing]\nPrecise=1\nLatitude=52.0912\nLongitude=4.6711\nHeight=12\n", "Applied"},
        {"a 10-character locator", true, false, false, "", "", "", "jo22ic45xw", "", "",
         "[Pointing]\nPrecise=1\nLocator=jo22ic45xw\n", "Applied"},
        {"refraction and its air", true, false, true, "", "", "", "", "-5", "980.5",
         "[Pointing]\nPrecise=1\nRefraction=1\nTemperature=-5\nPressure=980.5\n", "Applied"},
        {"a decimal comma", true, false, false, "52,09", "4.67", "", "", "", "", nullptr, "Latitude: "},
        {"latitude beyond the pole", true, false, false, "90.5", "4.67", "", "", "", "", nullptr, "Latitude: "},
        {"longitude beyond 180", true, false, false, "52", "180.01", "", "", "", "", nullptr, "Longitude: "},
        {"latitude without longitude", true, false, false, "52", "", "", "", "", "", nullptr,
         "Give both latitude and longitude, or neither."},
        {"a six-character locator", true, false, false, "", "", "", "JO22IC", "", "", nullptr, "Locator: "},
        {"a locator off the grid", true, false, false, "", "", "", "JO22IZ45", "", "", nullptr, "Locator: "},
        {"higher than Everest", true, false, false, "", "", "9001", "", "", "", nullptr, "Height: "},
        {"a temperature in words", true, false, true, "", "", "", "", "warm", "", nullptr, "Temperature: "},
        {"a negative pressure", true, false, true, "", "", "", "", "", "-1", nullptr, "Pressure: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = Lunark("JO22IC");
        Start(before);
        windows_->state->journal.Clear();
        pointing_->PreciseBox->setChecked(c.precise);
        pointing_->TargetBox->setCurrentText(c.sun ? "Sun" : "Moon");
        pointing_->RefractionBox->setChecked(c.refraction);
        pointing_->LatitudeEdit->setText(c.latitude);
        pointing_->LongitudeEdit->setText(c.longitude);
        pointing_->HeightEdit->setText(c.height);
        pointing_->LocatorEdit->setText(c.locator);
        pointing_->TemperatureEdit->setText(c.temperature);
        pointing_->PressureEdit->setText(c.pressure);
        pointing_->ApplyButton->click();
        EXPECT_TRUE(pointing_->MessageLabel->text().startsWith(c.message))
            << pointing_->MessageLabel->text().toStdString();
        EXPECT_EQ(FileText(), before + (c.written != nullptr ? c.written : ""));
        if (c.written == nullptr || std::string(c.written).empty()) {
            EXPECT_TRUE(SettingsJournal().empty());
        }
    }
}

TEST_F(StationPagesTest, PointingChangesAreJournalledKeyByKey) {
    Start(Lunark("JO22IC") + "[Pointing]\nPrecise=1\nHeight=12\n");
    pointing_->PreciseBox->setChecked(false);
    pointing_->HeightEdit->setText("");
    pointing_->TargetBox->setCurrentText("Sun");
    pointing_->ApplyButton->click();
    EXPECT_EQ(SettingsJournal(), (std::vector<std::string>{"Settings: Precise 1 -> 0", "Settings: Target none -> Sun",
                                                           "Settings: Height 12 -> none"}));
    EXPECT_EQ(FileText(), Lunark("JO22IC") + "[Pointing]\nPrecise=0\nHeight=\nTarget=Sun\n");
}

// Exact coordinates in Helsinki against the locator QF56OD (Sydney): both the Pointing page and the station
// window say so, with the distance from the square's centre (15199 km, astropy's angular separation times
// 6371 km); coordinates within the square say nothing.
TEST_F(StationPagesTest, AnExactPlaceOutsideTheLocatorsSquareIsPointedOut) {
    Start(Lunark("QF56OD") + "[Pointing]\nPrecise=1\nLatitude=60.1699\nLongitude=24.9384\n");
    const QString note = QStringLiteral("outside the locator's square QF56OD, 15199 km from its centre");
    EXPECT_EQ(pointing_->PlaceNoteLabel->text(), QStringLiteral("The exact place lies ") + note + u'.');
    EXPECT_FALSE(pointing_->PlaceNoteLabel->isHidden());
    windows_->station->show();
    QTest::qWait(50);
    const int width = windows_->station->width();
    windows_->station->Refresh();
    QTest::qWait(50);
    EXPECT_EQ(windows_->station->width(), width);  // the note wraps rather than widen the window
    EXPECT_EQ(windows_->station->Field("stationPosition"), QStringLiteral("60.1699\u00B0 N, 24.9384\u00B0 E\n") + note);

    pointing_->LatitudeEdit->setText("-33.86");
    pointing_->LongitudeEdit->setText("151.2");
    pointing_->ApplyButton->click();
    EXPECT_TRUE(pointing_->PlaceNoteLabel->isHidden());
    windows_->station->Refresh();
    EXPECT_EQ(windows_->station->Field("stationPosition"), QStringLiteral("33.8600\u00B0 S, 151.2000\u00B0 E"));
}

// 2024-05-30 17:38:02.792 UTC at 40.954972 N, 115.070324 W, 1148.9 m: the Sun at azimuth 117.850,
// elevation 58.386; the Moon at 238.224, 16.603 (astropy, topocentric, no refraction; a row of the
// precise pointing reference table).
TEST_F(StationPagesTest, ThePointingPageTurnsTheWindowsAndTheCommandsToTheSun) {
    const struct {
        const char* target;
        const char* title;
        const char* groupTitle;
        double azimuth, elevation;
        const char *azimuthCommand, *elevationCommand;
    } cases[] = {
        {"Sun", "Lunark by Tarvo (Sun)", "Sun", 117.8495879, 58.3857578, "M118\r", "W118 058\r"},
        {"Moon", "Lunark by Tarvo", "Moon", 238.2238733, 16.6027177, "M238\r", "W238 017\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        now_ = sys_days{2024y / May / 30} + 17h + 38min + 2s + 792ms;
        Start(Lunark("DN20LW"));  // the sub-square of the exact place below
        pointing_->PreciseBox->setChecked(true);
        pointing_->TargetBox->setCurrentText(c.target);
        pointing_->LatitudeEdit->setText("40.954972");
        pointing_->LongitudeEdit->setText("-115.070324");
        pointing_->HeightEdit->setText("1148.9");
        ASSERT_TRUE(pointing_->Apply()) << pointing_->MessageLabel->text().toStdString();

        TForm1& form = *windows_->form1;
        EXPECT_EQ(form.windowTitle(), c.title);
        EXPECT_EQ(form.Label1->text(), QString("Azimuth:   %1").arg(std::lround(c.azimuth)));
        form.Button1->click();
        EXPECT_EQ(azimuthLine_.Received(5), c.azimuthCommand);
        EXPECT_EQ(elevationLine_.Received(9), c.elevationCommand);

        windows_->station->Refresh();
        EXPECT_EQ(windows_->station->findChild<QWidget*>("TargetGroup")->property("title").toString(), c.groupTitle);
        EXPECT_NEAR(windows_->station->Field("moonAzimuth").chopped(1).toDouble(), c.azimuth, 0.02);
        EXPECT_NEAR(windows_->station->Field("moonElevation").chopped(1).toDouble(), c.elevation, 0.02);
        EXPECT_EQ(windows_->station->Field("stationPosition"), "40.9550° N, 115.0703° W");
    }
}

// Entries on the Rotator page: the five keys of the section, or a refusal naming the field.
TEST_F(StationPagesTest, RotatorApplyWritesTheSectionAndRefusesWhatCannotBeUsed) {
    const struct {
        const char* what;
        const char *range, *lowest, *highest;
        const char* policy;
        const char *parkAzimuth, *parkElevation, *deadband, *interval;
        const char* written;  // nullptr: refused
        const char* message;
        // The move keys, written only while set; a window runs within [Station] Period (appended).
        const char* moveWindow = "";
        int moveWhen = 0;  // the MoveWhen list's row
        const char* period = "";
    } cases[] = {
        {"the defaults change nothing", "0-360", "0", "", "follow", "", "", "0", "", "", "Nothing changed."},
        {"an overlap", "0-450", "0", "", "follow", "", "", "0", "",
         "[Rotator]\nAzimuthRange=0-450\nElevationRange=\nBelowHorizon=follow\nDeadband=0\nIntervalSeconds=0\n",
         "Applied"},
        {"limits, parking, deadband and seconds", "0-540", "5", "85", "park", "180", "10", "2", "10",
         "[Rotator]\nAzimuthRange=0-540\nElevationRange=5-85\nBelowHorizon=park:180,10\nDeadband=2\n"
         "IntervalSeconds=10\n",
         "Applied"},
        {"a minimum alone, waiting", "0-360", "3", "", "wait", "", "", "0", "86400",
         "[Rotator]\nAzimuthRange=0-360\nElevationRange=3-180\nBelowHorizon=wait\nDeadband=0\n"
         "IntervalSeconds=86400\n",
         "Applied"},
        {"a range short of a turn", "0-359", "0", "", "follow", "", "", "0", "", nullptr, "Azimuth range: "},
        {"a range beyond one and a half turns", "0-541", "0", "", "follow", "", "", "0", "", nullptr,
         "Azimuth range: "},
        {"a range that does not start at 0", "10-400", "0", "", "follow", "", "", "0", "", nullptr, "Azimuth range: "},
        {"a negative minimum", "0-360", "-1", "", "follow", "", "", "0", "", nullptr, "Elevation minimum: "},
        {"a maximum beyond the zenith's far side", "0-360", "0", "181", "follow", "", "", "0", "", nullptr,
         "Elevation maximum: "},
        {"a minimum above the maximum", "0-360", "50", "40", "follow", "", "", "0", "", nullptr,
         "Elevation: the minimum is above the maximum."},
        {"parking nowhere", "0-360", "0", "", "park", "", "10", "0", "", nullptr, "Park azimuth: "},
        {"parking below the ground", "0-360", "0", "", "park", "90", "-10", "0", "", nullptr, "Park elevation: "},
        {"parking past the stop at north", "0-360", "0", "", "park", "400", "10", "0", "", nullptr,
         "Park azimuth 400 lies outside the azimuth range 0-360."},
        {"parking past the overlap", "0-450", "0", "", "park", "500", "10", "0", "", nullptr,
         "Park azimuth 500 lies outside the azimuth range 0-450."},
        {"parking below the elevation limit", "0-450", "5", "85", "park", "90", "2", "0", "", nullptr,
         "Park elevation 2 lies outside the elevation range 5-85."},
        {"a deadband in words", "0-360", "0", "", "follow", "", "", "two", "", nullptr, "Deadband: "},
        {"a deadband of more than half a turn", "0-360", "0", "", "follow", "", "", "181", "", nullptr, "Deadband: "},
        {"an interval of nothing", "0-360", "0", "", "follow", "", "", "0", "0", nullptr, "Interval: "},
        {"an interval of more than a day", "0-360", "0", "", "follow", "", "", "0", "86401", nullptr, "Interval: "},
        {"a fraction of a second", "0-360", "0", "", "follow", "", "", "0", "1.5", nullptr, "Interval: "},
        {"a move window, not transmitting", "0-360", "0", "", "follow", "", "", "0", "",
         "[Rotator]\nAzimuthRange=0-360\nElevationRange=\nBelowHorizon=follow\nDeadband=0\nIntervalSeconds=0\n"
         "MoveWindow=50-59\nMoveWhen=not-transmitting\n",
         "Applied", "50-59", 1},
        {"a move window backwards", "0-360", "0", "", "follow", "", "", "0", "", nullptr, "Move window: SS-SS",
         "70-10"},
        {"a move window past the period", "0-360", "0", "", "follow", "", "", "0", "", nullptr,
         "Move window 50-59 does not fit the 30-second period", "50-59", 0, "Period=30\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = Lunark("JO22IC") + c.period;
        Start(before);
        windows_->state->journal.Clear();
        rotator_->AzimuthRangeEdit->setText(c.range);
        rotator_->ElevationMinimumEdit->setText(c.lowest);
        rotator_->ElevationMaximumEdit->setText(c.highest);
        rotator_->BelowHorizonBox->setCurrentText(c.policy);
        rotator_->ParkAzimuthEdit->setText(c.parkAzimuth);
        rotator_->ParkElevationEdit->setText(c.parkElevation);
        rotator_->DeadbandEdit->setText(c.deadband);
        rotator_->IntervalEdit->setText(c.interval);
        rotator_->MoveWindowEdit->setText(c.moveWindow);
        rotator_->MoveWhenBox->setCurrentIndex(c.moveWhen);
        rotator_->ApplyButton->click();
        EXPECT_TRUE(rotator_->MessageLabel->text().startsWith(c.message))
            << rotator_->MessageLabel->text().toStdString();
        EXPECT_EQ(FileText(), before + (c.written != nullptr ? c.written : ""));
        if (c.written == nullptr) {
            EXPECT_EQ(Rotators().Settings(), RotatorSettings::Settings{});
            EXPECT_TRUE(SettingsJournal().empty());
        } else {
            EXPECT_EQ(Rotators().Settings().moveWindow.has_value(), *c.moveWindow != '\0');
        }
    }
}

// The Rotator page's Horizon part: a mask is written to [Horizon] and put in force, the rise and set line
// then counts from the mask; a mask that cannot be read is refused with the point named and nothing
// written; no mask (the default) writes nothing.
TEST_F(StationPagesTest, HorizonMaskIsAppliedOrRefusedOnTheRotatorPage) {
    const struct {
        const char* mask;
        const char* written;  // nullptr: refused
        const char* message;
        const char* next;  // the start of the rise and set line
    } cases[] = {
        {"", "", "Nothing changed.", ""},
        {"270:15, 90:10", "[Horizon]\nMask=90:10,270:15\n", "Applied", "sets below the mask at "},
        {"90:x", nullptr, "The horizon mask's point 1, \"90:x\", is not AZ:EL, e.g. 120:15", ""},
        {"90:10,90:12", nullptr, "The horizon mask has two points at azimuth 90", ""},
        // A mask higher than the Moon climbs: no crossing, and the Moon stays behind it.
        {"0:85,180:85", "[Horizon]\nMask=0:85,180:85\n", "Applied", "stays below the mask for two days"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        const std::string before = Lunark("JO22IC");
        Start(before);
        rotator_->HorizonMaskEdit->setText(c.mask);
        rotator_->ApplyButton->click();
        EXPECT_TRUE(rotator_->MessageLabel->text().contains(c.message)) << rotator_->MessageLabel->text().toStdString();
        EXPECT_EQ(FileText(), before + (c.written != nullptr ? c.written : ""));
        windows_->station->Refresh();
        const QString next = windows_->station->Field("moonNext");
        if (*c.next != '\0') {
            EXPECT_TRUE(next.contains(c.next)) << next.toStdString();
        } else {
            EXPECT_FALSE(next.contains(QStringLiteral("mask"))) << next.toStdString();
        }
        EXPECT_EQ(Rotators().Mask().Empty(), c.written == nullptr || *c.written == '\0');
    }
}

// A settings file that cannot be written (here a folder stands in its place): each page says so,
// and nothing is put in force or journalled as changed.
TEST_F(StationPagesTest, ASettingsFileThatCannotBeWrittenIsReportedAndNothingChanges) {
    std::filesystem::create_directory(File());
    Start(std::nullopt);
    pointing_->PreciseBox->setChecked(true);
    rotator_->DeadbandEdit->setText("2");
    for (const auto& [what, apply, message] :
         {std::tuple{"pointing", std::function<bool()>([this] { return pointing_->Apply(); }), pointing_->MessageLabel},
          std::tuple{"rotator", std::function<bool()>([this] { return rotator_->Apply(); }), rotator_->MessageLabel}}) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(apply());
        EXPECT_EQ(message->text(), QString::fromStdString("Not applied: Unable to write to " + File()));
    }
    EXPECT_EQ(Rotators().Settings(), RotatorSettings::Settings{});
    EXPECT_TRUE(SettingsJournal().empty());
    EXPECT_TRUE(std::filesystem::is_directory(File()));
}

// Continuous tracking with the clock standing still: every tick sends until a deadband of 2° is
// applied, then only the first tick after it (the deadband starts afresh) and none while the Moon
// has not moved. An interval of 10 s applied moves the next send to 10 s from now.
TEST_F(StationPagesTest, RotatorChangesTakeEffectWithoutARestart) {
    Start(Lunark("JO22IC"));
    TForm1& form = *windows_->form1;
    form.show();
    form.CheckBox1->setChecked(true);
    constexpr int kTicks = 3;
    // The commands that reached the azimuth line over kTicks ticks ("Mxxx\r" each): waits for the
    // expected ones, then takes whatever else came.
    const auto tick = [&](std::size_t expected) {
        for (int i = 0; i < kTicks; ++i) form.Timer1Timer();
        const std::string received = azimuthLine_.Received(5 * expected);
        return Commands(received + azimuthLine_.ReceivedNow());
    };
    EXPECT_EQ(tick(3), 3u);
    rotator_->DeadbandEdit->setText("2");
    rotator_->ApplyButton->click();
    EXPECT_EQ(tick(1), 1u);
    EXPECT_EQ(SettingsJournal(), std::vector<std::string>{"Settings: Deadband 0 -> 2"});

    EXPECT_EQ(form.Timer1->Interval(), 60000);
    rotator_->IntervalEdit->setText("10");
    rotator_->ApplyButton->click();
    EXPECT_EQ(form.Timer1->Interval(), 10000);
    windows_->station->Refresh();
    EXPECT_EQ(windows_->station->Field("azimuthNextSend"), "2023-03-22 12:00:10 UTC");
    form.hide();
}

// The pass of 6-7 December 2026 at QF56OD: the Moon rises at 16:54 UTC in azimuth 116.4, stands at
// azimuth 90.5 at 20:30:16 and 90.0 at 20:34, passes north at 00:06 and sets at 07:27 in 241.0
// (astropy). On 0-450, tracking each minute from 17:00 no side holds it all: the commands go
// from 91 to 450 at the first tick after the azimuth has fallen below 90.5, 20:31; from midnight
// the upper turn holds the rest of the pass.
TEST_F(StationPagesTest, TheRotatorPageSaysWhenTheRotatorWillUnwind) {
    const struct {
        Location::Instant from;
        const char* notice;
    } cases[] = {
        {sys_days{2026y / December / 6} + 17h,
         "no side holds it all; the rotator swings through its stop at 2026-12-06 20:31 UTC, from 91° to "
         "450° (359° clockwise)"},
        {sys_days{2026y / December / 7} + 0h, "held whole on the upper turn"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.notice);
        now_ = c.from;
        Start(Lunark("QF56OD"));
        EXPECT_TRUE(rotator_->PassLabel->text().startsWith("stop at north"))
            << rotator_->PassLabel->text().toStdString();
        rotator_->AzimuthRangeEdit->setText("0-450");
        ASSERT_TRUE(rotator_->Apply());
        windows_->station->Refresh();
        // "Pass on 0-450: 2026-12-06 17:00 UTC to 2026-12-07 07:27 UTC, <side or swing>"
        const QString text = rotator_->PassLabel->text();
        const QRegularExpressionMatch pass =
            QRegularExpression(QStringLiteral("^Pass on 0-450: (.{16}) UTC to (.{16}) UTC, (.*)$")).match(text);
        ASSERT_TRUE(pass.hasMatch()) << text.toStdString();
        EXPECT_LE(std::abs(MinutesBetween(pass.captured(2), "2026-12-07T07:27")), 2) << text.toStdString();
        EXPECT_EQ(pass.captured(3), QString::fromUtf8(c.notice));
    }
}

}  // namespace
