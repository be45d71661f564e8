// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "Location.h"
#include "MessageBoxes.h"
#include "StationState.h"
#include "TempDir.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit4.h"
#include "WindowTimer.h"

namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;
using namespace std::chrono_literals;
using std::chrono::March;

class MainWindow : public ::testing::Test {
protected:
    StationState state_;
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        Unit3::Locator.clear();
        Unit3::AZ_COM_NR = Unit3::EL_COM_NR = Unit3::AZoffset = Unit3::ELoffset = Unit3::TrackInterval = 0;
        Unit3::AZtype.clear();
        Unit3::ELtype.clear();
        message_boxes::SetResponder([this](message_boxes::Kind kind, const QString&, const QString& text) {
            boxes_.push_back({kind, text});
        });
    }
    void TearDown() override {
        message_boxes::SetResponder(nullptr);
        Unit4::Form4 = nullptr;
    }

    std::string SettingsFile() const { return dir_.File("lunark.ini"); }

    struct Box {
        message_boxes::Kind kind;
        QString text;
    };
    TempDir dir_;
    std::vector<Box> boxes_;
};

TEST_F(MainWindow, IsLaidOutWithItsCaptionsAndControls) {
    TForm1 form(state_);
    EXPECT_EQ(form.windowTitle(), "Lunark by Tarvo");
    EXPECT_EQ(form.centralWidget()->size(), QSize(244, 130));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form.font().family(), "MS Sans Serif");
    EXPECT_EQ(form.font().pixelSize(), 11);

    EXPECT_EQ(form.Label1->pos(), QPoint(8, 16));
    EXPECT_EQ(form.Label2->pos(), QPoint(8, 48));
    EXPECT_EQ(form.Label3->pos(), QPoint(192, 32));
    EXPECT_EQ(form.Label1->text(), "Label1");
    EXPECT_EQ(form.Label2->text(), "Label2");
    EXPECT_EQ(form.Label3->text(), "Miau !");
    EXPECT_FALSE(form.Label3->isVisibleTo(&form));
    for (const QLabel* label : {form.Label1, form.Label2, form.Label3}) {
        EXPECT_EQ(label->font().family(), "Fixedsys");
        EXPECT_EQ(label->font().pixelSize(), 11);
    }
    EXPECT_EQ(form.Button1->geometry(), QRect(32, 80, 75, 25));
    EXPECT_EQ(form.Button1->text(), "Track");
    EXPECT_EQ(form.CheckBox1->geometry(), QRect(8, 112, 97, 17));
    EXPECT_EQ(form.CheckBox1->text(), "Cont. track");
    EXPECT_FALSE(form.CheckBox1->isChecked());
    EXPECT_EQ(form.Button1->nextInFocusChain(), form.CheckBox1);

    // "Setup", then "Station" to its right: the one addition to the main window.
    ASSERT_EQ(form.MainMenu1->actions().size(), 2);
    EXPECT_EQ(form.MainMenu1->actions().front(), form.Setup1);
    EXPECT_EQ(form.Setup1->text(), "Setup");
    EXPECT_EQ(form.MainMenu1->actions().back(), form.Station1);
    EXPECT_EQ(form.Station1->text(), "Station");
    EXPECT_LT(form.MainMenu1->actionGeometry(form.Setup1).right(),
              form.MainMenu1->actionGeometry(form.Station1).left());
    EXPECT_EQ(form.Timer2->Interval(), 30000);
    EXPECT_TRUE(form.Timer2->IsRunning());
}

TEST_F(MainWindow, FirstRunWritesTheDefaultFileAndOpensAtItsPlace) {
    TForm1 form(state_);
    EXPECT_EQ(ReadFileBytes(SettingsFile()),
              "[Lunark]\nLocator=JO22IC\nTop=100\nLeft=100\nAZ_COM_NR=1\nEL_COM_NR=2\nAZoffset=0\n"
              "ELoffset=0\nAZtype=Hy-Gain DCU-1\nELtype=Prosistel-D\nTrackInterval=0\n");
    EXPECT_EQ(form.pos(), QPoint(100, 100));
    EXPECT_EQ(Unit3::TrackInterval, 0);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 250);
}

TEST_F(MainWindow, FirstRunThatCannotWriteOpensAtTheDesignPlace) {
    Unit3::ExecutablePath = "/proc/lunark";
    TForm1 form(state_);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].kind, message_boxes::Kind::Stop);
    EXPECT_EQ(boxes_[0].text, "Unable to write to /proc/lunark.ini.");
    EXPECT_EQ(form.pos(), QPoint(193, 109));
    EXPECT_EQ(Unit3::Locator, "JO22IC");
    EXPECT_EQ(Unit3::ELtype, "Prosistel-D");
}

TEST_F(MainWindow, ReopensWhereItWasClosed) {
    {
        TForm1 form(state_);
        form.show();
        form.move(321, 234);
        EXPECT_TRUE(form.close());
    }
    const std::string stored = ReadFileBytes(SettingsFile());
    EXPECT_NE(stored.find("Top=234\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("Left=321\n"), std::string::npos) << stored;
    TForm1 again(state_);
    EXPECT_EQ(again.pos(), QPoint(321, 234));
}

TEST_F(MainWindow, StaysOpenWhenTheSettingsCannotBeWrittenOnClose) {
    TForm1 form(state_);
    form.show();
    std::filesystem::remove(SettingsFile());
    std::filesystem::create_directory(SettingsFile());  // a folder where the file should be
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, QString::fromStdString("Unable to write to " + SettingsFile() + "."));
    form.hide();
}

// A place on no screen (a monitor unplugged since) opens the window in the middle of the primary
// screen; the file keeps the stored place until the window closes.
TEST_F(MainWindow, APlaceOffEveryScreenOpensOnThePrimaryScreen) {
    const std::string stored = "[Lunark]\nTop=-3000\nLeft=9000\n";
    WriteFileBytes(SettingsFile(), stored);
    TForm1 form(state_);
    form.show();
    QTest::qWait(50);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(form.frameGeometry())) << form.x() << "," << form.y();
    EXPECT_LE(std::abs(form.frameGeometry().center().x() - screen.center().x()), 2);
    EXPECT_EQ(ReadFileBytes(SettingsFile()), stored);
    form.hide();
}

TEST_F(MainWindow, MissingPositionKeysPutTheWindowAt100) {
    WriteFileBytes(SettingsFile(), "[Lunark]\nLocator=KO88AB\n");
    TForm1 form(state_);
    EXPECT_EQ(form.pos(), QPoint(100, 100));
    EXPECT_EQ(Unit3::Locator, "KO88AB");
    EXPECT_EQ(Unit3::TrackInterval, 1);
}

TEST_F(MainWindow, TrackingIntervalIsClampedToWhatFitsThirtyTwoBits) {
    const struct {
        int32_t minutes;
        int ms;
    } cases[] = {{0, 0},         {1, 60000},          {5, 300000},         {-1, 0},
                 {INT32_MIN, 0}, {35791, 2147460000}, {35792, 2147460000}, {INT32_MAX, 2147460000}};
    for (const auto& c : cases) EXPECT_EQ(TrackIntervalMilliseconds(c.minutes), c.ms) << c.minutes;
}

TEST_F(MainWindow, ActivationReArmsTheTrackingTimer) {
    WriteFileBytes(SettingsFile(), "[Lunark]\nTrackInterval=1\n");
    TForm1 form(state_);
    EXPECT_EQ(form.Timer1->Interval(), 60000);
    ASSERT_TRUE(form.Timer1->IsRunning());
    QTest::qWait(30);
    form.OnActivate();  // the same interval: the countdown goes on
    EXPECT_EQ(form.Timer1->Interval(), 60000);
    EXPECT_LT(form.Timer1->RemainingTime(), 60000 - 20);

    Unit3::TrackInterval = 5;  // a new interval restarts the countdown
    form.OnActivate();
    EXPECT_EQ(form.Timer1->Interval(), 300000);
    EXPECT_GT(form.Timer1->RemainingTime(), 60000);

    Unit3::TrackInterval = 0;  // 0 stops it
    form.OnActivate();
    EXPECT_FALSE(form.Timer1->IsRunning());
    Unit3::TrackInterval = -7;
    form.OnActivate();
    EXPECT_FALSE(form.Timer1->IsRunning());
}

// The Sun as the target ([Pointing] Target=Sun, read at each update) is the one change to the main window:
// its title says so, and the labels show the Sun's position (astropy: azimuth 183.75°, elevation 38.49°
// from JO22IC's corner at 2023-03-22 12:00 UTC).
TEST_F(MainWindow, TitleNamesTheSunWhileItIsTheTarget) {
    const auto previousClock =
        Location::SetClock([] { return Location::Instant(std::chrono::sys_days{2023y / March / 22} + 12h); });
    WriteFileBytes(SettingsFile(), "[Lunark]\nLocator=JO22IC\n[Pointing]\nTarget=Sun\n");
    TForm1 form(state_);
    form.OnActivate();
    EXPECT_EQ(form.windowTitle(), "Lunark by Tarvo (Sun)");
    EXPECT_EQ(form.Label1->text(), "Azimuth:   184");
    EXPECT_EQ(form.Label2->text(), "Elevation: 38");
    WriteFileBytes(SettingsFile(), "[Lunark]\nLocator=JO22IC\n[Pointing]\nTarget=Moon\n");
    form.OnActivate();
    EXPECT_EQ(form.windowTitle(), "Lunark by Tarvo");
    EXPECT_EQ(form.Label1->text(), "Azimuth:   170");
    EXPECT_EQ(form.Label2->text(), "Elevation: 40");
    Location::SetClock(previousClock);
}

// Showing does what the first activation does, whether or not a window manager activates the
// window: the labels show the position at once and the tracking interval is in force.
TEST_F(MainWindow, ShowingTheWindowActivatesIt) {
    WriteFileBytes(SettingsFile(), "[Lunark]\nLocator=JO22IC\nTrackInterval=5\n");
    TForm1 form(state_);
    form.show();
    EXPECT_EQ(form.Timer1->Interval(), 300000);
    EXPECT_TRUE(form.Label1->text().startsWith("Azimuth:   ")) << form.Label1->text().toStdString();
    EXPECT_TRUE(form.Label2->text().startsWith("Elevation: ")) << form.Label2->text().toStdString();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(form.Timer1->Interval(), 300000);
    form.hide();
}

TEST_F(MainWindow, ReturningFromTheSetupWindowPutsANewIntervalInForce) {
    TForm1 form(state_);
    TForm4 setup;
    Unit4::Form4 = &setup;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_FALSE(form.Timer1->IsRunning());  // first run: interval 0

    form.Setup1->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&setup));
    setup.Edit6->setText("5");
    ASSERT_TRUE(setup.close());
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(form.Timer1->Interval(), 300000);
    EXPECT_TRUE(form.Timer1->IsRunning());
    form.hide();
}

TEST_F(MainWindow, TrackingTickHidesMiau) {
    TForm1 form(state_);
    form.Label3->setVisible(true);
    form.Timer1Timer();
    EXPECT_FALSE(form.Label3->isVisibleTo(&form));
}

TEST_F(MainWindow, SetupOpensAtTheMainWindowsPlaceWithoutBlockingIt) {
    TForm1 form(state_);
    TForm4 setup;
    Unit4::Form4 = &setup;
    form.show();
    form.move(150, 160);
    form.Setup1->trigger();
    EXPECT_TRUE(setup.isVisible());
    EXPECT_FALSE(setup.isModal());
    EXPECT_EQ(setup.pos(), form.pos());
    EXPECT_TRUE(form.Button1->isEnabled());
    setup.hide();
    form.hide();
}

}  // namespace
