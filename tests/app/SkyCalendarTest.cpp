// SPDX-License-Identifier: GPL-3.0-or-later
// The sky plot on a real X server under openbox: the Moon and the Sun drawn where their directions fall,
// the horizon mask filled; and the Calendar page's rows coloured by their rating. LUNARK_SKY_SCREENSHOT names
// a PNG file to keep the plot's picture in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <set>

#include "AxisTransports.h"
#include "CalendarPage.h"
#include "HamlibTransport.h"
#include "Location.h"
#include "RotatorTracking.h"
#include "SkyPlot.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

constexpr double kUnixEpochDayNumber = 25569;

Location::Instant InstantOf(double dayNumber) {
    return Location::Instant(std::chrono::microseconds(std::llround((dayNumber - kUnixEpochDayNumber) * 86400e6)));
}

class SkyCalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        previousLocator_ = Unit3::Locator;
        Unit3::Locator = "JO22IC";
        const Location::Instant at = InstantOf(46363.5);  // 2026-12-07 12:00 UTC
        Location::SetClock([at] { return at; });
    }
    void TearDown() override {
        Location::SetClock(nullptr);
        Unit3::Locator = previousLocator_;
    }
    test_support::TempDir dir_;
    HamlibTransport::Axes hamlib_;  // the test's own
    AxisTransports::Transports transports_{hamlib_};
    RotatorTracking::Tracker rotators_{transports_};
    std::string previousLocator_;
};

// How far apart two colours are, the largest difference of a channel.
int Distance(QColor a, QColor b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

TEST_F(SkyCalendarTest, SkyPlotDrawsTheBodiesWhereTheyStandAndTheMask) {
    rotators_.UseMask(horizon_mask::Mask({{90, 40}, {180, 40}, {270, 0}, {0, 0}}));
    Journal::Journal journal;
    const Station::Records records(journal, transports_);
    TSkyPlot plot(records, rotators_);
    plot.resize(500, 500);
    plot.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));
    plot.Refresh();
    QApplication::processEvents();
    const QImage image = plot.grab().toImage();
    if (const char* path = std::getenv("LUNARK_SKY_SCREENSHOT")) {
        QScreen* screen = QGuiApplication::primaryScreen();
        screen->grabWindow(0).save(QString::fromLocal8Bit(path));
    }
    const QRectF disc = TSkyPlot::Disc(plot.size());
    // At noon UTC in December the Sun and the Moon stand over the southern sky at JO22IC: their discs.
    const pointing::Station home{52.1042L, 4.7083L, 0};
    const struct {
        pointing::Target target;
        QColor colour;
    } bodies[] = {{pointing::Target::Moon, QColor(0x30, 0x50, 0xA0)},
                  {pointing::Target::Sun, QColor(0xE0, 0x90, 0x10)}};
    for (const auto& body : bodies) {
        const pointing::Direction seen = pointing::PrecisePosition(body.target, 46363.5, home, {});
        const QPointF at = TSkyPlot::Place(disc, seen.azimuth, seen.elevation);
        EXPECT_LE(Distance(image.pixelColor(at.toPoint()), body.colour), 8) << at.x() << "," << at.y();
    }
    // Today's Moon track passes through each of its samples above the horizon.
    const TSkyPlot::Sample& sample = plot.MoonTrack().at(144);  // 12:00
    ASSERT_GT(sample.elevation, 0);
    // Under the mask (135°, 20° up: below its 40°) the mask's brown, over it (315°, 20°) the sky.
    const QColor masked = image.pixelColor(TSkyPlot::Place(disc, 135, 20).toPoint());
    const QColor open = image.pixelColor(TSkyPlot::Place(disc, 315, 20).toPoint());
    EXPECT_GT(masked.red(), masked.blue() + 20);
    EXPECT_LE(Distance(open, QColor(0xF4, 0xF7, 0xFC)), 8);
}

TEST_F(SkyCalendarTest, CalendarPageColoursEachDayByItsRating) {
    TCalendarPage page(rotators_);
    page.FromEdit->setDate(QDate(2026, 12, 8));
    page.DaysEdit->setValue(30);
    page.Start();
    page.WaitForCalendar();
    ASSERT_EQ(page.Table->rowCount(), 30);
    ASSERT_EQ(page.Days().size(), 30u);
    std::set<eme_calendar::Rating> seen;
    for (int row = 0; row < page.Table->rowCount(); ++row) {
        const eme_calendar::Rating rating =
            eme_calendar::RatingOf(page.Days()[static_cast<std::size_t>(row)].degradationDb);
        seen.insert(rating);
        EXPECT_EQ(page.Table->item(row, 0)->background().color(), TCalendarPage::RatingColour(rating)) << row;
        EXPECT_EQ(page.Table->item(row, page.Table->columnCount() - 2)->text(),
                  QString::fromLatin1(eme_calendar::RatingName(rating)));
    }
    EXPECT_EQ(page.Table->item(0, 0)->text(), QStringLiteral("2026-12-08"));
    // Perigee and full Moon fall on the 24th (astropy agrees: tests/astro/data/calendar_days.csv).
    EXPECT_EQ(page.Table->item(16, page.Table->columnCount() - 1)->text(), QStringLiteral("perigee full"));
    EXPECT_GE(seen.size(), 2u);
}

}  // namespace
