// SPDX-License-Identifier: GPL-3.0-or-later
#include "Unit4.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "MessageBoxes.h"
#include "TempDir.h"
#include "Unit3.h"

namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;

class SetupWindow : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        Unit3::Locator = "JO22IC";
        Unit3::AZ_COM_NR = 1;
        Unit3::EL_COM_NR = 2;
        Unit3::AZoffset = -3;
        Unit3::ELoffset = 4;
        Unit3::AZtype = "Hy-Gain DCU-1";
        Unit3::ELtype = "M\xB2 RC2800";
        Unit3::TrackInterval = 5;
        message_boxes::SetResponder([this](message_boxes::Kind kind, const QString& caption, const QString& text) {
            EXPECT_EQ(caption, "Lunark");
            boxes_.push_back({kind, text});
        });
    }
    void TearDown() override { message_boxes::SetResponder(nullptr); }

    struct Box {
        message_boxes::Kind kind;
        QString text;
    };
    TempDir dir_;
    std::vector<Box> boxes_;
};

QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

TEST_F(SetupWindow, IsLaidOutWithItsCaptionsAndFields) {
    TForm4 form;
    EXPECT_EQ(form.windowTitle(), "Lunark - Setup");
    EXPECT_EQ(form.size(), QSize(244, 346));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.pos(), QPoint(219, 177));

    const struct {
        QWidget* widget;
        QPoint place;
        QString text;
    } controls[] = {
        {form.Label1, {8, 8}, "Locator"},
        {form.Label2, {64, 72}, "Azimuth protocol"},
        {form.Label3, {8, 176}, "COM"},
        {form.Label4, {64, 216}, "Elevation protocol"},
        {form.Label5, {8, 320}, "COM"},
        {form.Label6, {72, 176}, "Offset"},
        {form.Label7, {72, 320}, "Offset"},
        {form.Label8, {64, 88}, "Hy-Gain DCU-1"},
        {form.Label9, {64, 232}, "M\u00B2 RC2800"},
        {form.Label10, {8, 40}, "Interval cont. track"},
        {form.Label11, {208, 40}, "min"},
        {form.Edit1, {72, 8}, "JO22IC"},
        {form.Edit2, {40, 176}, "1"},
        {form.Edit3, {128, 176}, "-3"},
        {form.Edit4, {40, 320}, "2"},
        {form.Edit5, {128, 320}, "4"},
        {form.Edit6, {176, 40}, "5"},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.widget->pos(), c.place) << c.widget->objectName().toStdString();
        const auto* label = qobject_cast<QLabel*>(c.widget);
        const auto* edit = qobject_cast<QLineEdit*>(c.widget);
        EXPECT_EQ(label ? label->text() : edit->text(), c.text) << c.widget->objectName().toStdString();
    }
    EXPECT_EQ(form.Edit1->size(), QSize(65, 21));
    EXPECT_EQ(form.ListBox1->geometry(), QRect(64, 112, 161, 49));
    EXPECT_EQ(form.ListBox2->geometry(), QRect(64, 256, 161, 49));
    EXPECT_EQ(form.Label1->font().family(), "Fixedsys");
    EXPECT_EQ(form.Label1->font().pixelSize(), 11);
    EXPECT_EQ(form.Label8->font().family(), "MS Sans Serif");

    EXPECT_EQ(Rows(form.ListBox1), QStringList({"Hy-Gain DCU-1", "Prosistel-D", "M\u00B2 RC2800",
                                                "YAESU GS-232A 9600bd", "Hamlib", "none"}));
    EXPECT_EQ(Rows(form.ListBox2), QStringList({"Prosistel-D", "Prosistel-D combined", "M\u00B2 RC2800",
                                                "YAESU GS-232A 9600bd", "Hamlib", "none"}));
    EXPECT_EQ(form.ListBox1->currentRow(), -1);

    // Tab order 0 to 7.
    const QWidget* order[] = {form.Edit1,    form.Edit2,    form.Edit3, form.Edit4,
                              form.ListBox1, form.ListBox2, form.Edit5, form.Edit6};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        const QWidget* next = order[i]->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << i;
    }
}

TEST_F(SetupWindow, NoneHidesTheAxisPortAndOffsetFields) {
    Unit3::AZtype = "none";
    TForm4 form;
    form.show();
    EXPECT_FALSE(form.Edit2->isVisible());
    EXPECT_FALSE(form.Edit3->isVisible());
    EXPECT_TRUE(form.Label3->isVisible());  // the captions stay
    EXPECT_TRUE(form.Edit4->isVisible());

    form.ListBox1->setCurrentRow(3);
    EXPECT_EQ(form.Label8->text(), "YAESU GS-232A 9600bd");
    EXPECT_TRUE(form.Edit2->isVisible());
    EXPECT_TRUE(form.Edit3->isVisible());

    form.ListBox2->setCurrentRow(5);
    EXPECT_EQ(form.Label9->text(), "none");
    EXPECT_FALSE(form.Edit4->isVisible());
    EXPECT_FALSE(form.Edit5->isVisible());

    EXPECT_TRUE(form.Label5->isVisible());
    EXPECT_TRUE(form.Label7->isVisible());

    // A Hamlib rotator has no COM port, so no "COM" caption either, but its offset applies.
    form.ListBox2->setCurrentRow(4);
    EXPECT_EQ(form.Label9->text(), "Hamlib");
    EXPECT_FALSE(form.Edit4->isVisible());
    EXPECT_FALSE(form.Label5->isVisible());
    EXPECT_TRUE(form.Edit5->isVisible());
    EXPECT_TRUE(form.Label7->isVisible());
    form.ListBox2->setCurrentRow(3);
    EXPECT_TRUE(form.Label5->isVisible());
    form.hide();
}

TEST_F(SetupWindow, ClosingTakesTheFieldsOverAndWritesTheFile) {
    TForm4 form;
    form.show();
    form.Edit1->clear();
    QTest::keyClicks(form.Edit1, "ko88ab");
    EXPECT_EQ(form.Edit1->text(), "KO88AB");
    form.Edit2->setText("$0A");
    form.Edit6->setText(" 15");
    form.ListBox1->setCurrentRow(2);  // M² RC2800
    form.ListBox2->setCurrentRow(1);

    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Unit3::Locator, "KO88AB");
    EXPECT_EQ(Unit3::AZ_COM_NR, 10);
    EXPECT_EQ(Unit3::TrackInterval, 15);
    EXPECT_EQ(Unit3::AZtype, "M\xB2 RC2800");
    EXPECT_EQ(Unit3::ELtype, "Prosistel-D combined");
    EXPECT_EQ(ReadFileBytes(dir_.File("lunark.ini")),
              "[Lunark]\nLocator=KO88AB\nTop=100\nLeft=100\nAZ_COM_NR=10\nEL_COM_NR=2\nAZoffset=-3\n"
              "ELoffset=4\nAZtype=M\xB2 RC2800\nELtype=Prosistel-D combined\nTrackInterval=15\n");

    // Shown again, the window keeps what was typed; it is not refilled.
    Unit3::Locator = "AA00AA";
    form.show();
    EXPECT_EQ(form.Edit1->text(), "KO88AB");
    form.hide();
}

// Tab walks through both lists; the focus alone chooses nothing. The elevation protocol is stored
// in UTF-8 by some other program: it is Windows-1252 text all the same, shown as such and written
// back byte for byte.
TEST_F(SetupWindow, TabbingThroughAndClosingLeavesEverySettingAsItWas) {
    Unit3::AZtype = "YAESU GS-232A 9600bd";
    Unit3::ELtype = "M\xC2\xB2 RC2800";
    TForm4 form;
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.Edit1->setFocus();
    for (int i = 0; i < 5; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.ListBox2);
    EXPECT_EQ(form.Label8->text(), "YAESU GS-232A 9600bd");
    EXPECT_EQ(form.Label9->text(), QString::fromUtf16(u"M\u00C2\u00B2 RC2800"));
    ASSERT_TRUE(form.close());
    EXPECT_EQ(ReadFileBytes(dir_.File("lunark.ini")),
              "[Lunark]\nLocator=JO22IC\nTop=100\nLeft=100\nAZ_COM_NR=1\nEL_COM_NR=2\nAZoffset=-3\n"
              "ELoffset=4\nAZtype=YAESU GS-232A 9600bd\nELtype=M\xC2\xB2 RC2800\nTrackInterval=5\n");

    // A choice by the arrow keys or the mouse still counts.
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.ListBox1->setFocus();
    QTest::keyClick(form.ListBox1, Qt::Key_Down);  // from the first row, current since the focus came
    EXPECT_EQ(form.Label8->text(), "Prosistel-D");
    const QRect third = form.ListBox2->visualItemRect(form.ListBox2->item(2));
    QTest::mouseClick(form.ListBox2->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(form.Label9->text(), QString::fromUtf16(u"M\u00B2 RC2800"));
    form.hide();
}

TEST_F(SetupWindow, AFieldThatIsNotAnIntegerKeepsTheWindowOpen) {
    TForm4 form;
    form.show();
    form.Edit1->setText("IO91WM");
    form.Edit2->setText("7");
    form.Edit3->setText("x1");
    form.Edit6->setText("");
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].kind, message_boxes::Kind::Stop);
    EXPECT_EQ(boxes_[0].text, "'x1' is not a valid integer value.");
    EXPECT_EQ(Unit3::Locator, "IO91WM");  // taken over before the failing field
    EXPECT_EQ(Unit3::AZ_COM_NR, 7);
    EXPECT_EQ(Unit3::AZoffset, -3);  // the failing field and later ones keep their values
    EXPECT_FALSE(std::filesystem::exists(dir_.File("lunark.ini")));

    form.Edit3->setText("0");
    EXPECT_FALSE(form.close());
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].text, "'' is not a valid integer value.");
    form.hide();
}

TEST_F(SetupWindow, AFileThatCannotBeWrittenKeepsTheWindowOpen) {
    Unit3::ExecutablePath = "/proc/l\xC3\xBCnark";  // the system's bytes: UTF-8
    TForm4 form;
    form.show();
    form.Edit6->setText("3");
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, QString::fromUtf16(u"Unable to write to /proc/l\u00FCnark.ini."));
    EXPECT_EQ(Unit3::TrackInterval, 3);  // everything was taken over before the write
    form.hide();
}

TEST(StopBox, AppendsAFullStopAfterCharactersAboveIt) {
    EXPECT_EQ(message_boxes::StopBoxText("Unable to write to /x/lunark.ini"), "Unable to write to /x/lunark.ini.");
    EXPECT_EQ(message_boxes::StopBoxText("'' is not a valid integer value"), "'' is not a valid integer value.");
    EXPECT_EQ(message_boxes::StopBoxText("Done."), "Done.");
    EXPECT_EQ(message_boxes::StopBoxText("What?"), "What?.");  // '?' is above '.'
    EXPECT_EQ(message_boxes::StopBoxText("Oops!"), "Oops!");   // '!' is below '.'
    EXPECT_EQ(message_boxes::StopBoxText("a-"), "a-");
    EXPECT_EQ(message_boxes::StopBoxText(""), "");
}

}  // namespace
