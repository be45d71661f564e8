// SPDX-License-Identifier: GPL-3.0-or-later
// The station window's planning page, offscreen: what it keeps in the settings file, the windows it lists
// against astropy's, what it refuses, and the plot it paints.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateTimeEdit>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AxisTransports.h"
#include "BuildPaths.h"
#include "ElevationPlot.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "Location.h"
#include "PlanPage.h"
#include "PlanSettings.h"
#include "PositionTool.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using namespace std::chrono;

constexpr double kSecond = 1.0 / 86400;
constexpr double kUnixEpochDayNumber = 25569;

Location::Instant InstantOf(double dayNumber) {
    return Location::Instant(microseconds(std::llround((dayNumber - kUnixEpochDayNumber) * 86400e6)));
}

// astropy's mutual rises and sets through 5 degrees for JO22IC and FN20XR from 2026-12-07 00:00 UTC
// (the first pair of scripts/make-plan-reference.py), as (start, end) day numbers.
std::vector<std::pair<double, double>> AstropyWindows() {
    std::ifstream in(LUNARK_PLAN_WINDOWS);
    EXPECT_TRUE(in) << "cannot read " << LUNARK_PLAN_WINDOWS;
    std::vector<std::pair<double, double>> windows;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("46363.00000000,52.1042,4.7083,40.7292,-74.0417,")) continue;
        const double edge = std::stod(line.substr(line.rfind(',') + 1));
        if (line.find(",rise,") != std::string::npos) {
            windows.push_back({edge, 0});
        } else if (!windows.empty()) {
            windows.back().second = edge;
        }
    }
    return windows;
}

class PlanPageTest : public ::testing::Test {
protected:
    Journal::Journal journal_;
    RadioTracking::Tracker radio_{journal_};
    HamlibTransport::Axes hamlib_;  // the test's own
    AxisTransports::Transports transports_{hamlib_};
    RotatorTracking::Tracker rotators_{transports_};  // no horizon mask
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        previousLocator_ = Unit3::Locator;
        Unit3::Locator = "JO22IC";
        SetClock(46363.5);  // 2026-12-07 12:00 UTC
    }
    void TearDown() override {
        Location::SetClock(nullptr);
        Unit3::Locator = previousLocator_;
    }
    void SetClock(double dayNumber) {
        const Location::Instant at = InstantOf(dayNumber);
        Location::SetClock([at] { return at; });
    }
    std::string SettingsFile() const { return dir_.File("lunark.ini"); }

    // Types the five fields and presses Plan.
    bool Enter(TPlanPage& page, const QString& dx, const QString& frequency, const QString& minimum,
               const QString& dxMinimum, const QString& days) {
        page.DxEdit->setText(dx);
        page.FrequencyEdit->setText(frequency);
        page.MinElevationEdit->setText(minimum);
        page.DxMinElevationEdit->setText(dxMinimum);
        page.DaysEdit->setText(days);
        const bool taken = page.Apply();
        page.WaitForPlan();
        return taken;
    }

    test_support::TempDir dir_;
    std::string previousLocator_;
};

// The page writes its own section and nothing else: every byte of [Lunark] and of the other lines stays,
// in LF and CRLF files, with and without an older [Plan]; a new page reads the values back.
TEST_F(PlanPageTest, WritesItsSectionAndLeavesEveryOtherLineAsItWas) {
    struct Case {
        const char* name;
        std::string before;  // the file before; empty: no file
        std::string kept;    // the bytes that must still open the file
    };
    const std::string lunark =
        "[Lunark]\nLocator=JO22IC\nTop=100\nLeft=100\nAZ_COM_NR=1\nEL_COM_NR=2\n"
        "AZoffset=0\nELoffset=0\nAZtype=Hy-Gain DCU-1\nELtype=Prosistel-D\nTrackInterval=0\n";
    std::string crlf;
    for (const char c : lunark + "; a comment\r\n[Ports]\nCOM1=/dev/ttyUSB0\n") {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    // clang-format off
    const Case cases[] = {
        {"no file",              "",                                             ""},
        {"LF, other sections",   lunark + "[Ports]\nCOM1=/dev/ttyUSB0\n",        lunark + "[Ports]\nCOM1=/dev/ttyUSB0\n"},
        {"CRLF",                 crlf,                                           crlf},
        {"an older [Plan]",      lunark + "[Plan]\nDX=JO22IC\nDays=7\nNote=mine\n[Station]\nLog=0\n", lunark},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(SettingsFile());
        if (!c.before.empty()) test_support::WriteFileBytes(SettingsFile(), c.before);
        TPlanPage page(radio_, rotators_, journal_);
        page.Load();
        ASSERT_TRUE(Enter(page, QStringLiteral(" fn20xr, PM95VR "), QStringLiteral("10368"), QStringLiteral("7.5"),
                          QStringLiteral("0"), QStringLiteral("2")));
        const std::string after = test_support::ReadFileBytes(SettingsFile());
        EXPECT_EQ(after.substr(0, c.kept.size()), c.kept);
        if (c.name == std::string("an older [Plan]")) {
            EXPECT_NE(after.find("Note=mine\n"), std::string::npos) << after;
            EXPECT_TRUE(after.ends_with("[Station]\nLog=0\n")) << after;
        }
        const std::string eol = c.before == crlf ? "\r\n" : "\n";
        EXPECT_NE(after.find("[Plan]" + eol), std::string::npos) << after;
        for (const std::string line :
             {"DX=fn20xr PM95VR", "Frequency=10368", "MinElevation=7.5", "DxMinElevation=0", "Days=2"}) {
            EXPECT_NE(after.find(line + eol), std::string::npos) << line << " in\n" << after;
        }
        TPlanPage again(radio_, rotators_, journal_);
        again.Load();
        EXPECT_EQ(again.DxEdit->text(), QStringLiteral("fn20xr PM95VR"));
        EXPECT_EQ(again.FrequencyEdit->text(), QStringLiteral("10368"));
        EXPECT_EQ(again.MinElevationEdit->text(), QStringLiteral("7.5"));
        EXPECT_EQ(again.DxMinElevationEdit->text(), QStringLiteral("0"));
        EXPECT_EQ(again.DaysEdit->text(), QStringLiteral("2"));
    }
}

// For JO22IC and FN20XR the list holds astropy's windows that end after the clock and start within the
// days asked for, within a minute at both edges, in time order; the one the clock is in is marked.
TEST_F(PlanPageTest, ListsAstropysWindowsAndMarksTheRunningOne) {
    const auto reference = AstropyWindows();
    ASSERT_GE(reference.size(), 20u);
    struct Case {
        double clock;  // day number
        int days;
        int runningRow;  // -1: none runs
    };
    // clang-format off
    const Case cases[] = {
        {46363.50, 3, 0},    // 2026-12-07 12:00, inside 11:43-12:54
        {46363.40, 3, -1},   // 09:36, before it
        {46363.55, 5, -1},   // 13:12, just after it: it is gone from the list
        {46364.54, 1, 0},    // 2026-12-08 12:57, inside the next one
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clock);
        SetClock(c.clock);
        std::filesystem::remove(SettingsFile());
        TPlanPage page(radio_, rotators_, journal_);
        page.Load();
        ASSERT_TRUE(Enter(page, QStringLiteral("FN20XR"), QStringLiteral("1296"), QStringLiteral("5"),
                          QStringLiteral("5"), QString::number(c.days)));
        page.Refresh();
        const double listEnd = std::floor(c.clock * 24) / 24 + c.days;
        std::vector<std::pair<double, double>> expected;
        for (const auto& window : reference) {
            if (window.second > c.clock && window.first < listEnd) expected.push_back(window);
        }
        ASSERT_EQ(page.Windows().size(), expected.size());
        ASSERT_EQ(page.WindowList->topLevelItemCount(), static_cast<int>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const eme_plan::Window& window = page.Windows()[i].window;
            EXPECT_NEAR(window.start, expected[i].first, 60 * kSecond) << i;
            if (expected[i].second < listEnd) {
                EXPECT_NEAR(window.end, expected[i].second, 60 * kSecond) << i;
            }
            const QString mark = page.WindowList->topLevelItem(static_cast<int>(i))->text(TPlanPage::kRunning);
            EXPECT_EQ(mark.isEmpty(), static_cast<int>(i) != c.runningRow) << i;
            EXPECT_EQ(page.WindowList->topLevelItem(static_cast<int>(i))->text(TPlanPage::kDx),
                      QStringLiteral("FN20XR"));
        }
        // The values of the present are shown for the chosen DX station.
        EXPECT_TRUE(page.Value(QStringLiteral("now"), QStringLiteral("echoDoppler")).endsWith(QStringLiteral(" Hz")));
        EXPECT_TRUE(page.Value(QStringLiteral("now"), QStringLiteral("echoDelay")).endsWith(QStringLiteral(" s")));
    }
}

// Each window lasts the whole minutes the command line prints for it, as h:mm: JO22IC and FN20XR
// share windows of 66 min 39 s and 113 min 54 s that week, which read 1:06 and 1:53.
TEST_F(PlanPageTest, DurationsAreTheCommandLinesWholeMinutes) {
    std::ostringstream out, err;
    ASSERT_EQ(
        PositionTool::Run({"--locator", "JO22IC", "--plan", "--dx", "FN20XR", "--from", "2026-12-07", "--days", "7"},
                          dir_.File("lunark"), out, err),
        0);
    Unit3::ExecutablePath = dir_.File("lunark");  // the command line leaves its own settings and clock behind
    SetClock(46363.0);
    TPlanPage page(radio_, rotators_, journal_);
    page.Load();
    ASSERT_TRUE(Enter(page, QStringLiteral("FN20XR"), QStringLiteral("1296"), QStringLiteral("5"), QStringLiteral("5"),
                      QStringLiteral("7")));
    std::istringstream lines(out.str().substr(out.str().find('\n') + 1));  // after "Settings: ..."
    std::string start, end;
    long long minutes = 0;
    int row = 0;
    for (; lines >> start >> end >> minutes; ++row) {
        ASSERT_LT(row, page.WindowList->topLevelItemCount());
        EXPECT_EQ(page.WindowList->topLevelItem(row)->text(TPlanPage::kDuration),
                  QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0')));
    }
    EXPECT_EQ(row, page.WindowList->topLevelItemCount());
}

// The list follows the clock: a window that ended leaves it, and a new hour brings a new plan with the
// windows it reaches.
TEST_F(PlanPageTest, PlansAgainWhenTheHourMovesOnOrTheHomeLocatorChanges) {
    TPlanPage page(radio_, rotators_, journal_);
    page.Load();
    ASSERT_TRUE(Enter(page, QStringLiteral("FN20XR"), QStringLiteral("1296"), QStringLiteral("5"), QStringLiteral("5"),
                      QStringLiteral("1")));
    ASSERT_EQ(page.Windows().size(), 1u);  // 2026-12-07 11:43-12:54, running at 12:00
    EXPECT_FALSE(page.WindowList->topLevelItem(0)->text(TPlanPage::kRunning).isEmpty());
    SetClock(46363.54);  // 12:58: it ended; tomorrow's starts after the day listed
    page.Refresh();
    page.WaitForPlan();
    EXPECT_TRUE(page.Windows().empty());
    SetClock(46364.54);  // 2026-12-08 12:58, within 12:45-13:20
    page.Refresh();
    page.WaitForPlan();
    ASSERT_FALSE(page.Windows().empty());
    EXPECT_NEAR(page.Windows()[0].window.start, 46364.53171909, 60 * kSecond);
    EXPECT_FALSE(page.WindowList->topLevelItem(0)->text(TPlanPage::kRunning).isEmpty());
    // A new home locator from Setup brings a new plan at once: from FN20XR itself the window is the Moon
    // above 5 degrees there, which lasts hours.
    Unit3::Locator = "FN20XR";
    page.Refresh();
    page.WaitForPlan();
    ASSERT_FALSE(page.Windows().empty());
    EXPECT_GT(page.Windows()[0].window.end - page.Windows()[0].window.start, 0.25);
    // Exact coordinates in [Pointing] stand for the home station in place of its locator: JO22IC's
    // centre given as coordinates brings back astropy's window of the day.
    std::ofstream(SettingsFile(), std::ios::app) << "[Pointing]\nLatitude=52.1042\nLongitude=4.7083\n";
    page.Refresh();
    page.WaitForPlan();
    ASSERT_FALSE(page.Windows().empty());
    EXPECT_NEAR(page.Windows()[0].window.start, 46364.53171909, 60 * kSecond);
}

// A DX station without a window over the days listed gets a grey row saying why, below the windows of the
// others, as lunark-position --plan says it (astropy: while both have the Moon above the horizon it stands at
// most 9.33° at JO22IC and 10.36° at RE78IR from 2026-12-20 over two days).
TEST_F(PlanPageTest, ADxStationWithoutAWindowGetsAGreyRowSayingWhy) {
    SetClock(46376.0 + 30 * kSecond);  // 2026-12-20 00:00:30 UTC
    TPlanPage page(radio_, rotators_, journal_);
    page.Load();
    ASSERT_TRUE(Enter(page, QStringLiteral("RE78IR FN20XR"), QStringLiteral("1296"), QStringLiteral("5"),
                      QStringLiteral("5"), QStringLiteral("2")));
    page.Refresh();
    const int windows = static_cast<int>(page.Windows().size());
    ASSERT_GT(windows, 0);
    for (const auto& listed : page.Windows()) EXPECT_EQ(listed.dx, 1u);
    ASSERT_EQ(page.WindowList->topLevelItemCount(), windows + 1);
    const QTreeWidgetItem* row = page.WindowList->topLevelItem(windows);
    EXPECT_EQ(
        row->text(TPlanPage::kRunning),
        QStringLiteral("No window with RE78IR in 2 days: while both see the Moon it stands at most 9.3\u00B0 here "
                       "and 10.4\u00B0 there"));
    EXPECT_TRUE(row->isFirstColumnSpanned());
    EXPECT_EQ(row->foreground(TPlanPage::kRunning).color(), QColor(Qt::gray));
    EXPECT_FALSE(row->flags() & Qt::ItemIsSelectable);
}

// Without anyone waiting for it, the worker's plan reaches the page through the window's own event loop.
TEST_F(PlanPageTest, APlanReachesThePageByItself) {
    TPlanPage page(radio_, rotators_, journal_);
    page.Load();
    page.DxEdit->setText(QStringLiteral("FN20XR"));
    ASSERT_TRUE(page.Apply());
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.Windows().size() == 1; }, 60000));
    EXPECT_EQ(page.WindowList->topLevelItemCount(), 1);
}

// Choosing a window puts its start into the instant field, and the values of that instant are shown.
TEST_F(PlanPageTest, ChoosingAWindowShowsItsStart) {
    TPlanPage page(radio_, rotators_, journal_);
    page.Load();
    ASSERT_TRUE(Enter(page, QStringLiteral("FN20XR"), QStringLiteral("10368"), QStringLiteral("5"), QStringLiteral("5"),
                      QStringLiteral("3")));
    ASSERT_GE(page.WindowList->topLevelItemCount(), 2);
    page.WindowList->topLevelItem(1)->setSelected(true);
    const double start = page.Windows()[1].window.start;
    EXPECT_NEAR(static_cast<double>(page.AtEdit->dateTime().toSecsSinceEpoch()) / 86400 + kUnixEpochDayNumber, start,
                60 * kSecond);  // the field shows whole minutes
    for (const char* name : {"echoDoppler", "dxDoppler", "distance", "pathLoss", "declination", "echoDelay"}) {
        EXPECT_NE(page.Value(QStringLiteral("at"), QLatin1String(name)), QStringLiteral("---")) << name;
        EXPECT_NE(page.Value(QStringLiteral("at"), QLatin1String(name)),
                  page.Value(QStringLiteral("now"), QLatin1String(name)))
            << name;
    }
}

// The path's figures for home and the chosen DX station, in the worked example's numbers: JO22IC and FN20XR
// on 2026-12-21 00:00 UTC at 3 cm, spreads 55.9 and 97.9 Hz within 2 %; each station's own figure reads
// "here / DX", those between the stations once.
TEST_F(PlanPageTest, ShowsThePathsFiguresForHomeAndTheDxStation) {
    SetClock(46377.0);
    TPlanPage page(radio_, rotators_, journal_);
    page.Load();
    ASSERT_TRUE(Enter(page, QStringLiteral("FN20XR"), QStringLiteral("10368"), QStringLiteral("5"), QStringLiteral("5"),
                      QStringLiteral("1")));
    page.Refresh();
    const QString spread = page.Value(QStringLiteral("now"), QStringLiteral("spread_hz"));
    const QRegularExpression pair(QStringLiteral("^(\\d+\\.\\d) Hz / (\\d+\\.\\d) Hz$"));
    const QRegularExpressionMatch spreads = pair.match(spread);
    ASSERT_TRUE(spreads.hasMatch()) << spread.toStdString();
    EXPECT_NEAR(spreads.captured(1).toDouble(), 55.9, 0.02 * 55.9);
    const QString dxSpread = page.Value(QStringLiteral("now"), QStringLiteral("dx_spread_hz"));
    ASSERT_TRUE(dxSpread.endsWith(QStringLiteral(" Hz")) && !dxSpread.contains(QLatin1Char('/')))
        << dxSpread.toStdString();
    EXPECT_NEAR(dxSpread.chopped(3).toDouble(), 97.9, 0.02 * 97.9);
    for (const char* name :
         {"sun_moon_deg", "doppler_rate_hz_s", "semi_diameter_deg", "sky_temperature_k", "degradation_db"})
        EXPECT_EQ(page.Value(QStringLiteral("now"), QLatin1String(name)).count(QStringLiteral(" / ")), 1) << name;
    for (const char* name : {"polarisation_offset_deg", "non_reciprocity_db"})
        EXPECT_FALSE(page.Value(QStringLiteral("now"), QLatin1String(name)).contains(QLatin1Char('/'))) << name;
}

// Each field refuses what it cannot use with a message on the page; the plan and the file stay as they were.
TEST_F(PlanPageTest, RefusesBadInputWithAMessageAndKeepsThePlan) {
    struct Case {
        const char *dx, *frequency, *minimum, *dxMinimum, *days;
        const char* message;  // a part of the message shown
    };
    // clang-format off
    const Case cases[] = {
        {"",               "1296",  "5",   "5",  "1",   "Enter the DX station's locator"},
        {"FN2",            "1296",  "5",   "5",  "1",   "\"FN2\" is too short"},
        {"FN20XR J022IC",  "1296",  "5",   "5",  "1",   "\"0\" as character 2"},
        {"FN20XR",         "abc",   "5",   "5",  "1",   "frequency \"abc\" is not a number of MHz"},
        {"FN20XR",         "0",     "5",   "5",  "1",   "frequency \"0\""},
        {"FN20XR",         "1296",  "90",  "5",  "1",   "minimum elevation \"90\""},
        {"FN20XR",         "1296",  "5",   "-1", "1",   "minimum elevation \"-1\""},
        {"FN20XR",         "1296",  "5",   "5",  "0",   "number of days \"0\""},
        {"FN20XR",         "1296",  "5",   "5",  "367", "number of days \"367\""},
        {"FN20XR",         "1296",  "5",   "5",  "1.5", "number of days \"1.5\""},
        {"AA00 BB00 CC00 DD00 EE00 FF00 GG00 HH00 II00", "1296", "5", "5", "1", "at most 8 DX locators"},
    };
    // clang-format on
    TPlanPage page(radio_, rotators_, journal_);
    page.Load();
    ASSERT_TRUE(Enter(page, QStringLiteral("FN20XR"), QStringLiteral("1296"), QStringLiteral("5"), QStringLiteral("5"),
                      QStringLiteral("1")));
    // Only the key that changed from the defaults is journalled.
    const std::string journal = journal_.Text();
    EXPECT_NE(journal.find("Settings: DX none -> FN20XR"), std::string::npos) << journal;
    EXPECT_EQ(journal.find("Frequency"), std::string::npos) << journal;
    const std::string file = test_support::ReadFileBytes(SettingsFile());
    const std::size_t listed = page.Windows().size();
    ASSERT_GT(listed, 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_FALSE(Enter(page, QString::fromUtf8(c.dx), QString::fromUtf8(c.frequency), QString::fromUtf8(c.minimum),
                           QString::fromUtf8(c.dxMinimum), QString::fromUtf8(c.days)));
        EXPECT_TRUE(page.MessageLabel->text().contains(QString::fromUtf8(c.message)))
            << page.MessageLabel->text().toStdString();
        EXPECT_EQ(test_support::ReadFileBytes(SettingsFile()), file);
        EXPECT_EQ(page.InForce().dxLocators, std::vector<std::string>{"FN20XR"});
        EXPECT_EQ(page.Windows().size(), listed);
    }
    EXPECT_EQ(journal_.Text(), journal);
}

// A settings file that cannot be written is said so on the page; the plan goes on with the new values.
TEST_F(PlanPageTest, SaysWhenTheSettingsCannotBeWritten) {
    std::filesystem::create_directory(SettingsFile());  // a folder where the file should be
    TPlanPage page(radio_, rotators_, journal_);
    page.Load();
    EXPECT_TRUE(Enter(page, QStringLiteral("FN20XR"), QStringLiteral("1296"), QStringLiteral("5"), QStringLiteral("5"),
                      QStringLiteral("1")));
    EXPECT_TRUE(page.MessageLabel->text().contains(QStringLiteral("Unable to write to")))
        << page.MessageLabel->text().toStdString();
    EXPECT_FALSE(page.Windows().empty());
}

// The plot shades the mutual windows of the chosen DX station and nothing else: columns inside a window
// hold the shade, columns outside every window hold none.
TEST_F(PlanPageTest, PlotShadesTheWindows) {
    TPlanPage page(radio_, rotators_, journal_);
    page.resize(900, 420);
    page.Load();
    ASSERT_TRUE(Enter(page, QStringLiteral("FN20XR PM95VR"), QStringLiteral("1296"), QStringLiteral("5"),
                      QStringLiteral("5"), QStringLiteral("1")));
    page.Plot->resize(600, 200);
    const auto shadedColumn = [&](const QImage& image, double dayNumber) {
        const int x = static_cast<int>(std::lround(page.Plot->XOf(dayNumber)));
        int shaded = 0;
        for (int y = 0; y < image.height(); ++y) shaded += QColor(image.pixel(x, y)) == TElevationPlot::kWindowColour;
        return shaded;
    };
    // 11:43-12:54 UTC is a window with FN20XR; 18:00 lies in none.
    const QImage withNewYork = page.Plot->grab().toImage();
    EXPECT_GT(shadedColumn(withNewYork, 46363.51), page.Plot->PlotArea().height() / 2);
    EXPECT_EQ(shadedColumn(withNewYork, 46363.75), 0);
    EXPECT_EQ(page.Plot->Shown().windows.size(), 2u);  // today's and tomorrow's within the 25 hours
    page.DxChoice->setCurrentIndex(1);                 // PM95VR sees no Moon with JO22IC on these days
    const QImage withTokyo = page.Plot->grab().toImage();
    EXPECT_EQ(shadedColumn(withTokyo, 46363.51), 0);
    EXPECT_TRUE(page.Plot->Shown().windows.empty());
}

}  // namespace
