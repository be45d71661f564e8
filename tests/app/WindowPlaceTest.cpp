// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's place on a real X server (tests/app/under-x.sh runs this program with and
// without a window manager): Top and Left are the frame's top-left corner, so close and start
// cycles leave the window where it was; the station window keeps its width.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>

#include "MessageBoxes.h"
#include "Startup.h"
#include "StationState.h"
#include "StationWindow.h"
#include "TempDir.h"
#include "TimeScale.h"
#include "Unit1.h"
#include "Unit3.h"

namespace {

using test_support::ReadFileBytes;
using test_support::WriteFileBytes;

TEST(WindowPlace, TenCloseAndStartCyclesEndWhereTheyBegan) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");
    message_boxes::SetResponder([](message_boxes::Kind, const QString&, const QString&) {});
    WriteFileBytes(dir.File("lunark.ini"), "[Lunark]\nLocator=JO22IC\nTop=100\nLeft=100\nTrackInterval=0\n");
    StationState state;
    for (int cycle = 1; cycle <= 10; ++cycle) {
        SCOPED_TRACE(cycle);
        TForm1 form(state);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        // Give a window manager the time to frame the window, then take in what the X server has
        // told since.
        const bool settled = QTest::qWaitFor([&form] { return form.frameGeometry().topLeft() == QPoint(100, 100); },
                                             test_support::ScaledMilliseconds(3000));
        QGuiApplication::sync();
        EXPECT_TRUE(settled) << "frame at " << form.frameGeometry().x() << "," << form.frameGeometry().y();
        ASSERT_TRUE(form.close());
        const std::string stored = ReadFileBytes(dir.File("lunark.ini"));
        EXPECT_NE(stored.find("\nTop=100\n"), std::string::npos) << stored;
        EXPECT_NE(stored.find("\nLeft=100\n"), std::string::npos) << stored;
    }
    message_boxes::SetResponder(nullptr);
}

// The station window keeps the width it has whichever page is shown: the 900 pixels it opens
// with, and the narrowest it takes while the journal shows (as an operator may drag it), though
// the pages have not yet been laid out then.
TEST(WindowPlace, TheStationWindowKeepsItsWidthWhicheverPageIsShown) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");
    message_boxes::SetResponder([](message_boxes::Kind, const QString&, const QString&) {});
    WriteFileBytes(dir.File("lunark.ini"),
                   "[Lunark]\nLocator=QF56OD\nTop=100\nLeft=100\nTrackInterval=0\n"
                   "AZtype=Hamlib\nELtype=YAESU GS-232A 9600bd\n[Hamlib]\nAzModel=1\n"
                   "[Rotator]\nAzimuthRange=0-450\n[Plan]\nDX=FN20XR JO22IC\nFrequency=10368\n");
    startup::InitialiseApplication();
    {
        const startup::ProgramWindows windows = startup::CreateWindows();
        TStationWindow& station = *windows.station;
        windows.form1->show();
        windows.form1->Button1->click();
        station.ShowBeside(windows.form1.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&station));
        QGuiApplication::sync();
        EXPECT_EQ(station.width(), TStationWindow::kDefaultWidth);
        for (const int width : {station.minimumSizeHint().width(), TStationWindow::kDefaultWidth}) {
            SCOPED_TRACE(width);
            station.Pages->setCurrentIndex(0);
            station.resize(width, station.height());
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return station.width() == width; }, test_support::ScaledMilliseconds(3000)));
            for (int page = 1; page < station.Pages->count(); ++page) {
                station.Pages->setCurrentIndex(page);
                station.Refresh();
                // The page's layout, and any resize it asks of the X server, done and answered.
                QGuiApplication::sync();
                EXPECT_EQ(station.width(), width) << station.Pages->tabText(page).toStdString();
                // The window is as tall as the page needs: nothing of it is cut off below.
                const auto* scroll = qobject_cast<const QScrollArea*>(station.Pages->currentWidget());
                ASSERT_NE(scroll, nullptr);
                EXPECT_LE(scroll->widget()->height(), scroll->viewport()->height())
                    << station.Pages->tabText(page).toStdString();
            }
        }
        station.close();
    }
    message_boxes::SetResponder(nullptr);
}

}  // namespace
