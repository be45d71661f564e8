// SPDX-License-Identifier: GPL-3.0-or-later
// The picture control: loading into frames and composite, the stored "Data" block, progress and
// abort, assignment, and painting (checked pixel by pixel in an offscreen image).
#include <gtest/gtest.h>

#include <QObject>
#include <QPainter>
#include <string>
#include <vector>

#include "GIFImage.h"
#include "GifTestEncoder.h"
#include "PeakMemory.h"

using gif_test::GifBuilder;

namespace {

bool Load(TGIFImage& image, const std::string& bytes) {
    TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    stream.Seek(stream.Size());  // loading starts from the first byte whatever the position
    return image.LoadFromStream(stream);
}

// Draws the control into an image of its size filled with background.
QImage Render(TGIFImage& image, QRgb background = qRgb(10, 20, 30)) {
    QImage target(image.width(), image.height(), QImage::Format_RGB32);
    target.fill(background);
    QPainter painter(&target);
    image.UpdateOpaque();
    image.DrawImage(painter);
    return target;
}

// A picture whose pixel at (x, y) has index (x + 16 * y) % 256, from a global 8-bit table.
std::string Gradient(int w, int h, int transparentIndex = -1, bool interlaced = false) {
    std::vector<uint8_t> px(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[y * w + x] = static_cast<uint8_t>((x + 16 * y) % 256);
    GifBuilder b;
    b.Header(w, h, 8);
    if (transparentIndex >= 0) b.GraphicControl(0, 0, transparentIndex);
    return b.Image(0, 0, w, h, px, 0, interlaced).Trailer().Bytes();
}

QRgb Color(int x, int y) {
    return gif_test::GlobalColor((x + 16 * y) % 256);
}

}  // namespace

TEST(GIFImage, LoadsASeeThroughInterlacedPicture) {
    TGIFImage image;
    EXPECT_EQ(image.CurrentFrame(), 0);
    ASSERT_TRUE(Load(image, Gradient(105, 139, 255, true)));
    EXPECT_FALSE(image.IsEmpty());
    EXPECT_EQ(image.Version(), gvGIF89a);
    EXPECT_EQ(image.FrameCount(), 1);
    EXPECT_EQ(image.LoopCount(), 1);
    EXPECT_EQ(image.CurrentFrame(), 1);
    EXPECT_EQ(image.ColorBits(), 8);
    EXPECT_TRUE(image.AnyTransparent());
    EXPECT_EQ(image.ScreenWidth(), 105);
    EXPECT_EQ(image.ScreenHeight(), 139);
    const TGIFFrame* f = image.Frame(1);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Interlaced);
    EXPECT_EQ(f->Bitmap.format(), QImage::Format_Indexed8);
    EXPECT_EQ(f->Bitmap.bytesPerLine(), 108);
    EXPECT_EQ(f->Bitmap.colorCount(), 256);
    EXPECT_EQ(f->Mask.bytesPerLine(), 16);
    EXPECT_EQ(f->Bitmap.pixelIndex(7, 9), (7 + 16 * 9) % 256);
    // Index 255 is (15, 15): see-through in the frame's mask and the composite's; black underneath.
    EXPECT_EQ(f->Mask.pixelIndex(15, 15), 1);
    EXPECT_EQ(f->Mask.pixelIndex(14, 15), 0);
    ASSERT_FALSE(image.CompositeMask().isNull());
    EXPECT_EQ(image.CompositeMask().pixelIndex(15, 15), 1);
    EXPECT_EQ(image.CompositeMask().pixelIndex(16, 15), 0);
    EXPECT_EQ(image.CompositeBitmap().pixel(15, 15), qRgb(0, 0, 0));
    EXPECT_EQ(image.CompositeBitmap().pixel(16, 15), Color(16, 15));
}

TEST(GIFImage, FailedLoadsLeaveTheControlEmpty) {
    // Pictures whose images would not fit are refused before any of them is decoded: 255 images
    // of 512 x 512 (64 MiB of pixels) and then one far outside the screen, and one image of
    // 16384 x 4096 (64 MiB) on a screen that could not hold it.
    const std::string farAfterMany =
        GifBuilder().Header(512, 512, 1).BlankImages(255, 0, 0, 512, 512).BlankImages(1, 65535, 0, 512, 512).Bytes();
    const std::string tooWide = GifBuilder().Header(1, 1, 1).BlankImages(1, 0, 0, 16384, 4096).Bytes();
    const std::string cases[] = {
        farAfterMany,
        tooWide,
        "",
        "gif89a" + Gradient(2, 2).substr(6),
        GifBuilder()
            .Header(4, 4, 1)
            .ImageWithData(0, 0, 0, 2, "\x02\x00")
            .Image(0, 0, 2, 2, {0, 1, 1, 0}, 0, false, 2)
            .Bytes(),
        GifBuilder().Header(65535, 65535, 1).Image(0, 0, 2, 2, {0, 1, 1, 0}, 0, false, 2).Trailer().Bytes(),
        "GIF89a\x05",
    };
    for (const auto& bytes : cases) {
        TGIFImage image;
        ASSERT_TRUE(Load(image, Gradient(4, 4)));
        test_support::PeakMemory memory;
        ASSERT_TRUE(memory.Available());
        EXPECT_FALSE(Load(image, bytes));
        EXPECT_LT(memory.Growth(), size_t{16} << 20) << bytes.size() << " bytes";
        EXPECT_TRUE(image.IsEmpty());
        EXPECT_EQ(image.FrameCount(), 0);
        EXPECT_EQ(image.DataStream().Size(), 0u);
        EXPECT_TRUE(image.CompositeBitmap().isNull());
        EXPECT_EQ(image.GetBitmap(), nullptr);
    }
}

TEST(GIFImage, ProgressHandlerCanStopTheLoad) {
    // Stopping at the first call: nothing is read and the load fails.
    {
        TGIFImage image;
        int calls = 0;
        image.OnProgress = [&](QObject*, int32_t, int32_t, int32_t, bool& keep) {
            ++calls;
            keep = false;
        };
        EXPECT_FALSE(Load(image, Gradient(4, 4)));
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(image.IsEmpty());
    }
    // Stopping inside the large second image drops it; the final call decides the outcome.
    std::vector<uint8_t> px(400 * 300, 1);
    const std::string bytes = GifBuilder()
                                  .Header(4, 4, 1)
                                  .Image(0, 0, 4, 4, std::vector<uint8_t>(16, 1), 0, false, 2)
                                  .Image(0, 0, 400, 300, px, 0, false, 2)
                                  .Trailer()
                                  .Bytes();
    for (bool resume : {false, true}) {
        TGIFImage image;
        std::vector<int32_t> percentages;
        image.OnProgress = [&](QObject* sender, int32_t done, int32_t all, int32_t percent, bool& keep) {
            EXPECT_EQ(sender, &image);
            EXPECT_EQ(all, static_cast<int32_t>(bytes.size()));
            EXPECT_EQ(percent, (200 * int64_t{done} + all) / (2 * int64_t{all}));
            percentages.push_back(percent);
            if (percentages.size() == 3) keep = false;  // block 1, block 2, then inside image 2
            if (percentages.size() == 4) keep = resume;
        };
        EXPECT_EQ(Load(image, bytes), resume);
        EXPECT_EQ(percentages.size(), 4u);
        EXPECT_EQ(image.FrameCount(), resume ? 1 : 0);
        EXPECT_EQ(image.ScreenWidth(), resume ? 4 : image.ScreenWidth());
    }
}

TEST(GIFImage, DataBlockRoundTrip) {
    const std::string gif = Gradient(6, 5, 3);
    TGIFImage source;
    ASSERT_TRUE(Load(source, gif));
    TFormWriter writer;
    source.DefineProperties(writer);
    ASSERT_EQ(writer.properties.count("Data"), 1u);
    const std::vector<uint8_t>& block = writer.properties["Data"];
    ASSERT_EQ(block.size(), gif.size() + 4);
    EXPECT_EQ(block[0] | block[1] << 8 | block[2] << 16 | block[3] << 24, static_cast<int>(gif.size()));
    EXPECT_EQ(std::string(block.begin() + 4, block.end()), gif);

    TGIFImage copy;
    TFormReader reader(writer.properties);
    copy.DefineProperties(reader);
    copy.Loaded();
    EXPECT_EQ(copy.FrameCount(), 1);
    EXPECT_EQ(copy.CompositeBitmap(), source.CompositeBitmap());

    // A count of 0 loads nothing and is not written back; a count beyond the bytes is a read error.
    TGIFImage none;
    TFormReader zero({{"Data", {0, 0, 0, 0}}});
    none.DefineProperties(zero);
    none.Loaded();
    EXPECT_TRUE(none.IsEmpty());
    TFormWriter nothing;
    none.DefineProperties(nothing);
    EXPECT_EQ(nothing.properties.count("Data"), 0u);
    TFormReader shortBlock({{"Data", {0x10, 0, 0, 0, 'G', 'I', 'F'}}});
    EXPECT_THROW(none.DefineProperties(shortBlock), gif_core::ReadError);
    TFormReader hugeCount({{"Data", {0xFF, 0xFF, 0xFF, 0x7F, 'G'}}});
    EXPECT_THROW(none.DefineProperties(hugeCount), gif_core::ReadError);
}

TEST(GIFImage, AssignCopiesThePictureData) {
    TGIFImage source;
    ASSERT_TRUE(Load(source, Gradient(8, 3)));
    TGIFImage target;
    target.Assign(&source);
    EXPECT_EQ(target.FrameCount(), 1);
    EXPECT_EQ(target.CompositeBitmap(), source.CompositeBitmap());
    EXPECT_EQ(source.FrameCount(), 1);
    QImage bitmap;
    target.AssignTo(bitmap);
    EXPECT_EQ(bitmap.pixelIndex(5, 2), 5 + 32);

    TGIFImage empty;
    target.Assign(&empty);
    EXPECT_TRUE(target.IsEmpty());
    target.AssignTo(bitmap);
    EXPECT_TRUE(bitmap.isNull());
    ASSERT_TRUE(Load(target, Gradient(2, 2)));
    target.Assign(nullptr);
    EXPECT_TRUE(target.IsEmpty());

    QObject other;
    try {
        target.Assign(&other);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a QObject to a TGIFImage");
    }
    EXPECT_THROW(target.AssignTo(&other), EConvertError);
}

TEST(GIFImage, SeeThroughPixelsShowTheBackgroundOrColor) {
    TGIFImage image;
    image.resize(4, 3);
    ASSERT_TRUE(Load(image, Gradient(4, 3, 17)));  // index 17 is (1, 1)
    const QRgb back = qRgb(10, 20, 30);
    QImage plain = Render(image, back);
    EXPECT_EQ(plain.pixel(1, 1), back);
    EXPECT_EQ(plain.pixel(2, 1), Color(2, 1));
    EXPECT_EQ(plain.pixel(0, 0), Color(0, 0));
    EXPECT_FALSE(image.CoversClient());  // a see-through picture never makes the control opaque

    image.SetColor(QColor(200, 100, 50));
    image.SetOpaque(true);
    QImage opaque = Render(image, back);
    EXPECT_EQ(opaque.pixel(1, 1), qRgb(200, 100, 50));
    EXPECT_EQ(opaque.pixel(2, 1), Color(2, 1));

    image.SetVisible(false);
    EXPECT_EQ(Render(image, back).pixel(2, 1), back);
}

TEST(GIFImage, EmptyControlDrawsOnlyItsOpaqueBackground) {
    TGIFImage image;
    image.resize(5, 5);
    const QRgb back = qRgb(1, 2, 3);
    EXPECT_EQ(Render(image, back).pixel(2, 2), back);
    image.SetColor(QColor(9, 8, 7));
    image.SetOpaque(true);
    EXPECT_EQ(Render(image, back).pixel(2, 2), qRgb(9, 8, 7));
}

TEST(GIFImage, OpaquePictureCoveringTheControlMakesItOpaque) {
    TGIFImage image;
    image.resize(8, 8);
    ASSERT_TRUE(Load(image, Gradient(10, 10)));
    image.UpdateOpaque();
    EXPECT_TRUE(image.CoversClient());
    EXPECT_TRUE(image.testAttribute(Qt::WA_OpaquePaintEvent));
    image.resize(12, 8);
    image.UpdateOpaque();
    EXPECT_FALSE(image.CoversClient());
    EXPECT_FALSE(image.testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(GIFImage, DestinationRectangles) {
    struct Case {
        const char* name;
        int controlW, controlH, pictureW, pictureH;
        bool center, stretch, ratio, bigOnly, tile;
        QRect expected;
    };
    const Case cases[] = {
        {"corner", 50, 50, 20, 10, false, false, false, false, false, QRect(0, 0, 20, 10)},
        {"centre, 5 wider", 20, 10, 25, 10, true, false, false, false, false, QRect(-2, 0, 25, 10)},
        {"centre, 5 narrower", 25, 10, 20, 10, true, false, false, false, false, QRect(2, 0, 20, 10)},
        {"ratio, halves to even", 210, 105, 105, 105, false, false, true, false, false, QRect(52, 0, 106, 105)},
        {"ratio, tall control", 100, 300, 50, 50, false, false, true, false, false, QRect(0, 100, 100, 100)},
        {"stretch wins over ratio", 210, 105, 105, 105, false, true, true, false, false, QRect(0, 0, 210, 105)},
        {"big only, small picture", 100, 100, 40, 30, false, true, false, true, false, QRect(0, 0, 40, 30)},
        {"big only, small, centred", 100, 100, 40, 30, true, true, false, true, false, QRect(30, 35, 40, 30)},
        {"big only, large picture", 100, 100, 200, 50, false, true, false, true, false, QRect(0, 0, 100, 100)},
        {"tile", 250, 100, 100, 40, false, false, false, false, true, QRect(0, 0, 250, 100)},
    };
    for (const auto& c : cases) {
        TGIFImage image;
        image.resize(c.controlW, c.controlH);
        ASSERT_TRUE(Load(image, Gradient(c.pictureW, c.pictureH)));
        image.SetCenter(c.center);
        image.SetStretch(c.stretch);
        image.SetStretchRatio(c.ratio);
        image.SetStretchBigOnly(c.bigOnly);
        image.SetTile(c.tile);
        image.UpdateOpaque();
        EXPECT_EQ(image.GetDestRect(), c.expected) << c.name;
    }
}

TEST(GIFImage, PlacementPixels) {
    const QRgb back = qRgb(10, 20, 30);
    {
        // Picture 5 wider than the control: columns 2 to 21 of 25 are shown.
        TGIFImage image;
        image.resize(20, 10);
        ASSERT_TRUE(Load(image, Gradient(25, 10)));
        image.SetCenter(true);
        QImage out = Render(image, back);
        EXPECT_EQ(out.pixel(0, 0), Color(2, 0));
        EXPECT_EQ(out.pixel(19, 9), Color(21, 9));
    }
    {
        // Tiles of 100 x 40 in 250 x 100: three rows of three, the last ones clipped.
        TGIFImage image;
        image.resize(250, 100);
        ASSERT_TRUE(Load(image, Gradient(100, 40)));
        image.SetTile(true);
        QImage out = Render(image, back);
        EXPECT_EQ(out.pixel(0, 0), Color(0, 0));
        EXPECT_EQ(out.pixel(100, 40), Color(0, 0));
        EXPECT_EQ(out.pixel(213, 85), Color(13, 5));
        EXPECT_EQ(out.pixel(249, 99), Color(49, 19));
    }
    {
        // A 2 x 2 picture stretched to 6 x 4: each pixel becomes a 3 x 2 block.
        TGIFImage image;
        image.resize(6, 4);
        ASSERT_TRUE(Load(image, Gradient(2, 2)));
        image.SetStretch(true);
        QImage out = Render(image, back);
        EXPECT_EQ(out.pixel(0, 0), Color(0, 0));
        EXPECT_EQ(out.pixel(2, 1), Color(0, 0));
        EXPECT_EQ(out.pixel(3, 0), Color(1, 0));
        EXPECT_EQ(out.pixel(5, 3), Color(1, 1));
        EXPECT_EQ(out.pixel(0, 2), Color(0, 1));
    }
    {
        // Keeping the ratio in 210 x 105: background outside columns 52 to 157.
        TGIFImage image;
        image.resize(210, 105);
        ASSERT_TRUE(Load(image, Gradient(105, 105)));
        image.SetStretchRatio(true);
        QImage out = Render(image, back);
        EXPECT_EQ(out.pixel(51, 50), back);
        EXPECT_EQ(out.pixel(52, 0), Color(0, 0));
        EXPECT_NE(out.pixel(157, 50), back);
        EXPECT_EQ(out.pixel(158, 50), back);
    }
}

TEST(GIFImage, AutoSizeFollowsThePicture) {
    TGIFImage image;
    image.setGeometry(7, 9, 30, 30);
    image.SetAutoSize(true);
    EXPECT_EQ(image.size(), QSize(30, 30));  // nothing loaded yet
    ASSERT_TRUE(Load(image, Gradient(12, 5)));
    EXPECT_EQ(image.geometry(), QRect(7, 9, 12, 5));
    image.SetAutoSize(false);
    image.resize(40, 40);
    image.SetAutoSize(true);
    EXPECT_EQ(image.size(), QSize(12, 5));
}

TEST(GIFImage, SpeedBelowOneIsStoredAsOne) {
    TGIFImage image;
    EXPECT_EQ(image.Speed(), 100);
    image.SetSpeed(0);
    EXPECT_EQ(image.Speed(), 1);
    image.SetSpeed(-40);
    EXPECT_EQ(image.Speed(), 1);
}

TEST(GIFImage, FirstImageOnlyAndFrameLimitThroughTheControl) {
    GifBuilder b;
    b.Header(3, 3, 1).Netscape(2);
    for (int i = 0; i < 300; ++i) b.Image(0, 0, 3, 3, std::vector<uint8_t>(9, i & 1), 0, false, 2);
    const std::string bytes = b.Trailer().Bytes();
    TGIFImage image;
    ASSERT_TRUE(Load(image, bytes));
    EXPECT_EQ(image.FrameCount(), 256);
    EXPECT_TRUE(image.IsMultiFrame());
    EXPECT_EQ(image.LoopCount(), 2);
    image.SetFirstImageOnly(true);
    ASSERT_TRUE(Load(image, bytes));
    EXPECT_EQ(image.FrameCount(), 1);
    EXPECT_FALSE(image.IsMultiFrame());
}

TEST(GIFImage, PaintsOverItsParent) {
    QWidget parent;
    parent.resize(40, 30);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(0, 128, 0));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    auto* image = new TGIFImage(&parent);
    image->setGeometry(10, 5, 4, 3);
    ASSERT_TRUE(Load(*image, Gradient(4, 3, 17)));  // index 17, at (1, 1), is see-through
    QImage out(40, 30, QImage::Format_RGB32);
    out.fill(Qt::white);
    parent.render(&out);
    EXPECT_EQ(out.pixel(11, 6), qRgb(0, 128, 0));
    EXPECT_EQ(out.pixel(12, 6), Color(2, 1));
    EXPECT_EQ(out.pixel(10, 5), Color(0, 0));
    EXPECT_EQ(out.pixel(9, 5), qRgb(0, 128, 0));
    image->SetVisible(false);
    parent.render(&out);
    EXPECT_EQ(out.pixel(12, 6), qRgb(0, 128, 0));
}
