// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFile>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include "GIFImage.h"
#include "MessageBoxes.h"
#include "StationState.h"
#include "TempDir.h"
#include "Unit1.h"
#include "Unit3.h"
#include "WindowTimer.h"

namespace {

class CatPicture : public ::testing::Test {
protected:
    StationState state_;
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        message_boxes::SetResponder([](message_boxes::Kind, const QString&, const QString&) {});
    }
    void TearDown() override { message_boxes::SetResponder(nullptr); }
    test_support::TempDir dir_;
};

int Word(const QByteArray& bytes, int at) {
    return static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8);
}

TEST_F(CatPicture, StoredBlockIsACountAndAnInterlacedGif89aWithTransparentIndex255) {
    QFile stored(QStringLiteral(":/cat.data"));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QByteArray block = stored.readAll();
    ASSERT_GT(block.size(), 4 + 13 + 768);
    const uint32_t count = static_cast<uint8_t>(block[0]) | (static_cast<uint8_t>(block[1]) << 8) |
                           (static_cast<uint8_t>(block[2]) << 16) |
                           (static_cast<uint32_t>(static_cast<uint8_t>(block[3])) << 24);
    EXPECT_EQ(count, static_cast<uint32_t>(block.size() - 4));
    const QByteArray gif = block.mid(4);
    EXPECT_EQ(gif.left(6), "GIF89a");
    EXPECT_EQ(Word(gif, 6), 105);
    EXPECT_EQ(Word(gif, 8), 139);
    EXPECT_EQ(static_cast<uint8_t>(gif[10]) & 0x87, 0x87);  // a global table of 256 entries
    const int extension = 13 + 768;
    EXPECT_EQ(gif.mid(extension, 4), QByteArray("\x21\xF9\x04\x01", 4));  // transparency, disposal 0
    EXPECT_EQ(Word(gif, extension + 4), 0);                               // delay 0
    EXPECT_EQ(static_cast<uint8_t>(gif[extension + 6]), 255);             // transparent index
    const int image = extension + 8;
    EXPECT_EQ(gif[image], ',');
    EXPECT_EQ(Word(gif, image + 1), 0);
    EXPECT_EQ(Word(gif, image + 3), 0);
    EXPECT_EQ(Word(gif, image + 5), 105);
    EXPECT_EQ(Word(gif, image + 7), 139);
    EXPECT_EQ(static_cast<uint8_t>(gif[image + 9]), 0x40);  // interlaced, no local table
    EXPECT_EQ(gif.back(), ';');
}

TEST_F(CatPicture, LoadsIntoThePictureControlWhileTheWindowIsBuilt) {
    TForm1 form(state_);
    const TGIFImage* cat = form.GIFImage1;
    ASSERT_NE(cat, nullptr);
    EXPECT_EQ(cat->geometry(), QRect(128, -16, 105, 137));
    EXPECT_EQ(cat->Version(), gvGIF89a);
    EXPECT_EQ(cat->ScreenWidth(), 105);
    EXPECT_EQ(cat->ScreenHeight(), 139);
    EXPECT_EQ(cat->ColorBits(), 8);
    EXPECT_EQ(cat->FrameCount(), 1);
    EXPECT_EQ(cat->LoopCount(), 1);
    EXPECT_TRUE(cat->AnyTransparent());
    EXPECT_FALSE(cat->CompositeMask().isNull());
    EXPECT_FALSE(cat->Animate() || cat->AutoSize() || cat->Center() || cat->FirstImageOnly() || cat->Loop() ||
                 cat->Opaque() || cat->Stretch() || cat->StretchRatio() || cat->StretchBigOnly() || cat->Tile() ||
                 cat->Threaded());
    ASSERT_NE(cat->Frame(1), nullptr);
    EXPECT_TRUE(cat->Frame(1)->Interlaced);
    EXPECT_FALSE(cat->Frame(1)->HasLocalPalette);
    EXPECT_EQ(cat->Frame(1)->TransparentIndex, 255);
}

TEST_F(CatPicture, SeeThroughPixelsShowTheWindowAndTheCatCoversItsMiddle) {
    TForm1 form(state_);
    form.show();
    const QImage shot = form.centralWidget()->grab().toImage();
    const QColor background = form.centralWidget()->palette().color(QPalette::Window);
    EXPECT_EQ(shot.pixelColor(129, 0), background);        // the picture's top-left corner is see-through
    EXPECT_NE(shot.pixelColor(128 + 52, 90), background);  // the cat's body
    form.hide();
}

TEST_F(CatPicture, HintIsATwoLineJokeShownQuicklyAndKeptAMinute) {
    TForm1 form(state_);
    const QStringList lines = form.GIFImage1->toolTip().split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains("Lunark"));
    EXPECT_TRUE(lines[1].contains("crunchy snack"));
    EXPECT_EQ(form.GIFImage1->toolTipDuration(), 60000);
}

TEST_F(CatPicture, ClickShowsMiauUntilTheNextTrackingTick) {
    TForm1 form(state_);  // first run: the tracking interval is 0
    form.show();
    EXPECT_FALSE(form.Label3->isVisible());
    // A click is the primary button's, as everywhere in the window: the other buttons show nothing.
    const struct {
        Qt::MouseButton button;
        bool shown;
    } clicks[] = {
        {Qt::RightButton, false}, {Qt::MiddleButton, false},
        {Qt::LeftButton, true},   {Qt::LeftButton, true},  // a second click changes nothing
        {Qt::RightButton, true},
    };
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.button);
        QTest::mouseClick(form.GIFImage1, click.button, {}, QPoint(50, 60));
        EXPECT_EQ(form.Label3->isVisible(), click.shown);
    }

    // With the tracking timer stopped the label stays.
    form.OnActivate();
    EXPECT_FALSE(form.Timer1->IsRunning());
    QTest::qWait(50);
    EXPECT_TRUE(form.Label3->isVisible());

    // The next tick hides it, whether or not "Cont. track" is ticked.
    form.Timer1Timer();
    EXPECT_FALSE(form.Label3->isVisible());
    form.hide();
}

}  // namespace
