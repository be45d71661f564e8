// The main window driving real rotator lines: pseudo-terminals mapped as COM1 and COM2.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "Location.h"
#include "MessageBoxes.h"
#include "Messages.h"
#include "PseudoTerminal.h"
#include "TempDir.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Win1252.h"

namespace {

using namespace std::chrono;
using tracking_test::PseudoTerminal;

class TrackingWindow : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        // One instant for the whole test, so that every update shows the same position.
        previousClock_ = Location::SetClock([] { return system_clock::time_point(sys_days{2023y / March / 22} + 12h); });
        message_boxes::SetResponder([this](message_boxes::Kind kind, const QString&, const QString& text) {
            boxes_.push_back({kind, text});
        });
        // The program's own messages go to the plain box, as the program installs them.
        previousHandler_ = Messages::SetMessageHandler([](const std::string& text) {
            message_boxes::ShowPlain(QString::fromStdString(win1252::ToUtf8(text)));
        });
    }
    void TearDown() override {
        Messages::SetMessageHandler(previousHandler_);
        message_boxes::SetResponder(nullptr);
        Location::SetClock(previousClock_);
        Unit4::Form4 = nullptr;
    }

    void WriteSettings(const std::string& elevationDevice) {
        test_support::WriteFileBytes(dir_.File("lunark.ini"),
                                     "[Lunark]\nLocator=JO22IC\nTop=100\nLeft=100\nAZ_COM_NR=1\nEL_COM_NR=2\n"
                                     "AZoffset=0\nELoffset=0\nAZtype=YAESU GS-232A 9600bd\n"
                                     "ELtype=YAESU GS-232A 9600bd\nTrackInterval=1\n[Ports]\nCOM1=" +
                                         azimuthLine_.Path() + "\nCOM2=" + elevationDevice + "\n");
    }

    // The commands a YAESU controller pair must receive for what the two labels show: "M" and the
    // azimuth, then "W", azimuth, blank, elevation, each at least three digits, the elevation held
    // at 0 below the horizon.
    static void ExpectCommandsMatchLabels(const TForm1& form, PseudoTerminal& azimuthLine,
                                          PseudoTerminal& elevationLine) {
        const QString azimuthText = form.Label1->text();
        const QString elevationText = form.Label2->text();
        ASSERT_TRUE(azimuthText.startsWith("Azimuth:   ")) << azimuthText.toStdString();
        ASSERT_TRUE(elevationText.startsWith("Elevation: ")) << elevationText.toStdString();
        bool numbers = false;
        const int azimuth = azimuthText.mid(11).toInt(&numbers);
        ASSERT_TRUE(numbers) << azimuthText.toStdString();
        const int elevation = elevationText.mid(11).toInt(&numbers);
        ASSERT_TRUE(numbers) << elevationText.toStdString();
        const std::string az = QString::number(azimuth).rightJustified(3, '0').toStdString();
        const std::string el = QString::number(std::max(elevation, 0)).rightJustified(3, '0').toStdString();
        EXPECT_EQ(azimuthLine.Received(az.size() + 2), "M" + az + "\r");
        EXPECT_EQ(elevationLine.Received(az.size() + el.size() + 3), "W" + az + " " + el + "\r");
    }

    struct Box {
        message_boxes::Kind kind;
        QString text;
    };
    test_support::TempDir dir_;
    PseudoTerminal azimuthLine_;
    PseudoTerminal elevationLine_;
    std::vector<Box> boxes_;

private:
    Location::ClockFunction previousClock_;
    Messages::MessageHandler previousHandler_;
};

TEST_F(TrackingWindow, TrackSendsWhatTheLabelsShow) {
    WriteSettings(elevationLine_.Path());
    TForm1 form;
    form.show();
    QCoreApplication::processEvents();
    form.Label1->setText("Label1");
    form.Label2->setText("Label2");
    form.Button1->click();
    ExpectCommandsMatchLabels(form, azimuthLine_, elevationLine_);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(TrackingWindow, ContinuousTrackingSendsAtTheTrackingTimersTickOnly) {
    WriteSettings(elevationLine_.Path());
    TForm1 form;
    form.show();
    QCoreApplication::processEvents();

    form.Timer1Timer();  // not ticked yet: nothing goes out
    EXPECT_EQ(azimuthLine_.Received(0), "");

    form.CheckBox1->click();
    ASSERT_TRUE(form.CheckBox1->isChecked());
    QCoreApplication::processEvents();
    EXPECT_EQ(azimuthLine_.Received(0), "");  // ticking the box sends nothing by itself

    form.Timer1Timer();
    ExpectCommandsMatchLabels(form, azimuthLine_, elevationLine_);
}

TEST_F(TrackingWindow, ALineThatFailsShowsThePlainBoxAndTheOtherStillGoesOut) {
    WriteSettings(dir_.File("unplugged"));
    TForm1 form;
    form.show();
    QCoreApplication::processEvents();
    boxes_.clear();
    form.Button1->click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].kind, message_boxes::Kind::Plain);
    EXPECT_EQ(boxes_[0].text, "Comms error - COM2");
    EXPECT_EQ(azimuthLine_.Received(5).substr(0, 1), "M");
}

}  // namespace
