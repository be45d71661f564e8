// SPDX-License-Identifier: GPL-3.0-or-later
// Reading whole streams: header, extensions, the image list and the limits on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GifParser.h"
#include "GifTestEncoder.h"

using namespace gif_core;
using gif_test::GifBuilder;

namespace {

struct Parsed {
    bool ok = false;
    GifPicture picture;
    GifFrameList list;
};

Parsed Parse(const std::string& bytes, bool firstImageOnly = false) {
    ByteStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    Parsed p;
    p.ok = ParseGifStream(stream, firstImageOnly, p.picture, p.list);
    return p;
}

const std::vector<uint8_t> kFour = {1, 2, 3, 0};

GifBuilder Images(int count, int globalBits = 2) {
    GifBuilder b;
    b.Header(2, 2, globalBits);
    for (int i = 0; i < count; ++i) b.Image(0, 0, 2, 2, kFour, 0, false, 2);
    return b;
}

// count blank images of w x h at (left, top), as blocks to put after a header.
std::string EmptyImages(int count, int left, int top, int w, int h) {
    return GifBuilder().BlankImages(count, left, top, w, h).Bytes();
}

}  // namespace

TEST(GifParser, SignatureDecidesVersionAndAcceptance) {
    struct Case {
        const char* signature;
        bool ok;
        TGIFVersion version;
    };
    const Case cases[] = {{"GIF87a", true, gvGIF87a}, {"GIF89a", true, gvGIF89a},  {"GIFx9z", true, gvGIF89a},
                          {"GIF90a", true, gvGIF87a}, {"gif89a", false, gvGIF87a}, {"GIX89a", false, gvGIF87a}};
    for (const auto& c : cases) {
        Parsed p =
            Parse(GifBuilder().Header(2, 2, 2, c.signature).Image(0, 0, 2, 2, kFour, 0, false, 2).Trailer().Bytes());
        EXPECT_EQ(p.ok, c.ok) << c.signature;
        if (c.ok) {
            EXPECT_EQ(p.picture.Version, c.version) << c.signature;
        }
    }
    EXPECT_FALSE(Parse("").ok);
    EXPECT_THROW(Parse("GIF89a\x01\x00"), ReadError);                                 // cut-off screen descriptor
    EXPECT_THROW(Parse(std::string("GIF89a\1\0\1\0\x81\0\0\1\2\3", 16)), ReadError);  // cut-off global table
}

TEST(GifParser, LoopCountFromNetscapeExtensionOnly) {
    struct Case {
        std::string extension;
        int32_t loopCount;
    };
    const Case cases[] = {
        {GifBuilder().Netscape(0).Bytes(), 0},
        {GifBuilder().Netscape(3).Bytes(), 3},
        {GifBuilder().Netscape(65535).Bytes(), 65535},
        {std::string("\x21\xFF\x0BXMP DataXMP\x03\x01\x05\x00\x00", 19), 1},
        {"", 1},
    };
    for (const auto& c : cases) {
        Parsed p = Parse(
            GifBuilder().Header(2, 2, 2).Raw(c.extension).Image(0, 0, 2, 2, kFour, 0, false, 2).Trailer().Bytes());
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.picture.LoopCount, c.loopCount);
        EXPECT_EQ(p.picture.FrameCount, 1);
    }
}

TEST(GifParser, ImageCountLimits) {
    Parsed ten = Parse(Images(10).Trailer().Bytes(), true);
    EXPECT_TRUE(ten.ok);
    EXPECT_EQ(ten.picture.FrameCount, 1);  // first image only

    Parsed many = Parse(Images(300).Trailer().Bytes());
    EXPECT_TRUE(many.ok);
    EXPECT_EQ(many.picture.FrameCount, 256);
    EXPECT_EQ(many.list.frames.size(), 256u);
}

TEST(GifParser, TooWideThirdImageEndsReadingWithTwoFrames) {
    GifBuilder b = Images(2);
    b.ImageWithData(0, 0, 17000, 1, std::string("\x02\x00", 2)).Image(0, 0, 2, 2, kFour, 0, false, 2).Trailer();
    Parsed p = Parse(b.Bytes());
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.picture.FrameCount, 2);
}

TEST(GifParser, ZeroWidthImageFailsTheWholeLoad) {
    GifBuilder b;
    b.Header(2, 2, 2)
        .ImageWithData(0, 0, 0, 2, std::string("\x02\x00", 2))
        .Image(0, 0, 2, 2, kFour, 0, false, 2)
        .Trailer();
    EXPECT_FALSE(Parse(b.Bytes()).ok);
}

TEST(GifParser, ScreenGrowsToCoverEveryFrame) {
    std::vector<uint8_t> px(40 * 30, 1);
    Parsed p = Parse(GifBuilder().Header(120, 60, 2).Image(100, 50, 40, 30, px, 0, false, 2).Trailer().Bytes());
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.picture.ScreenWidth, 140);
    EXPECT_EQ(p.picture.ScreenHeight, 80);
}

TEST(GifParser, GraphicControlAppliesToTheNextImageOnly) {
    GifBuilder b;
    b.Header(2, 2, 2).GraphicControl(0, 50, 1).GraphicControl(2, 7, 3).Image(0, 0, 2, 2, kFour, 0, false, 2);
    b.Image(0, 0, 2, 2, kFour, 0, false, 2).Trailer();
    Parsed p = Parse(b.Bytes());
    ASSERT_EQ(p.picture.FrameCount, 2);
    const GifFrame& first = *p.list.frames[0];
    EXPECT_EQ(first.Delay, 70);  // the second extension wins
    EXPECT_EQ(first.Disposal, 2);
    EXPECT_TRUE(first.Transparent);
    EXPECT_EQ(first.TransparentIndex, 3);
    EXPECT_TRUE(p.picture.AnyTransparent);
    const GifFrame& second = *p.list.frames[1];
    EXPECT_EQ(second.Delay, 0);
    EXPECT_FALSE(second.Transparent);
}

TEST(GifParser, UnknownExtensionsAndStrayBytesAreSkipped) {
    GifBuilder b;
    b.Header(2, 2, 2)
        .Raw(std::string("\x21\x02\x03"
                         "abc\x02xy\x00",
                         10))
        .Raw(std::string("\x21\xFE\x05hello\x00", 9));
    b.Raw(std::string("\x00\x00", 2)).Image(0, 0, 2, 2, kFour, 0, false, 2).Trailer();
    Parsed p = Parse(b.Bytes());
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.picture.FrameCount, 1);
}

TEST(GifParser, CutOffStreamsKeepWhatWasRead) {
    const std::string whole = Images(2).Trailer().Bytes();
    struct Case {
        std::string bytes;
        int32_t frames;
    };
    const Case cases[] = {
        {whole.substr(0, whole.size() - 1) + ";", 2},
        {whole.substr(0, whole.size() - 1) + "!", 2},    // a single byte left at the end
        {Images(1).Raw("\x21\xFE\x10only").Bytes(), 1},  // ends inside a comment
        {Images(1).Raw(",\x00\x00").Bytes(), 1},         // cut-off descriptor: image dropped
    };
    for (const auto& c : cases) {
        Parsed p = Parse(c.bytes);
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(p.picture.FrameCount, c.frames);
    }
}

TEST(GifParser, ColourCountComesFromTheTablesMetSoFar) {
    // Global table of 4 bits; image 1 has a local 8-bit table; image 2 uses the global table but
    // carries 256 colours because the deepest table met so far has 8 bits.
    std::vector<uint8_t> px = {1, 2, 3, 4};
    Parsed p = Parse(GifBuilder()
                         .Header(2, 2, 4)
                         .Image(0, 0, 2, 2, px, 0, false, 4)
                         .Image(0, 0, 2, 2, px, 8)
                         .Image(0, 0, 2, 2, px, 0, false, 4)
                         .Image(0, 0, 2, 2, px, 1, false, 2)
                         .Trailer()
                         .Bytes());
    ASSERT_EQ(p.picture.FrameCount, 4);
    EXPECT_EQ(p.list.frames[0]->ColorCount, 16);
    EXPECT_EQ(p.list.frames[1]->ColorCount, 256);
    EXPECT_EQ(p.list.frames[2]->ColorCount, 256);
    EXPECT_EQ(p.list.frames[3]->ColorCount, 2);
    EXPECT_EQ(p.list.frames[2]->Colors[3 * 5], 5);    // global entry 5 is (5, 250, 2)
    EXPECT_EQ(p.list.frames[1]->Colors[3 * 5], 250);  // local entry 5 is (250, 5, 7)
    EXPECT_EQ(p.picture.ColorBits, 8);
}

TEST(GifParser, LimitsAreCheckedBeforeAnyImageIsDecoded) {
    struct Case {
        const char* name;
        std::string bytes;
        bool refused;    // LimitError, with not one image handed over
        int32_t frames;  // otherwise the images read
    };
    const auto gif = [](int w, int h, const std::string& blocks) {
        return GifBuilder().Header(w, h, 1).Raw(blocks).Trailer().Bytes();
    };
    // An image that grows the screen to 65535 + 512 pixels wide.
    const std::string far = EmptyImages(1, 65535, 0, 512, 512);
    const Case cases[] = {
        {"65535 x 65535 screen", gif(65535, 65535, ""), true, 0},
        // 255 images of 512 x 512 (just inside the pixels allowed), then the far one: refused
        // before the 255 are decoded.
        {"far image after 255", gif(512, 512, EmptyImages(255, 0, 0, 512, 512) + far), true, 0},
        // Passes the side limit and the pixels allowed, but not the screen that must hold it.
        {"16384 x 4096 image", gif(1, 1, EmptyImages(1, 0, 0, 16384, 4096)), true, 0},
        // A minimum code size above 15 ends an image's data at once; the bytes after it are read
        // as blocks (two stray pairs), so the far image is read.
        {"far image after data that ends at once",
         gif(2, 2, GifBuilder().ImageWithData(0, 0, 2, 2, std::string("\x10\x05!\x01\x0D", 5)).Bytes() + far), true, 0},
        // The far image is never read as the 257th, nor after one too wide to read.
        {"far image after the 256th", gif(2, 2, EmptyImages(256, 0, 0, 2, 2) + far), false, 256},
        {"far image after one too wide", gif(2, 2, EmptyImages(1, 0, 0, 2, 2) + EmptyImages(1, 0, 0, 17000, 1) + far),
         false, 1},
        // 16384 x 16384 passes the side limit but not the pixels allowed: dropped, reading stops.
        {"16384 x 16384 after a small image",
         gif(2, 2, EmptyImages(1, 0, 0, 2, 2) + EmptyImages(1, 0, 0, 16384, 16384)), false, 1},
        // Each of five 4096 x 4096 images fits, but the pixels allowed hold only four of them.
        {"five 4096 x 4096 images", gif(4096, 4096, EmptyImages(5, 0, 0, 4096, 4096)), false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ByteStream stream(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
        GifPicture picture;
        GifFrameList list;
        if (c.refused) {
            EXPECT_THROW(ParseGifStream(stream, false, picture, list), LimitError);
            EXPECT_EQ(list.frames.size(), 0u);
            continue;
        }
        EXPECT_TRUE(ParseGifStream(stream, false, picture, list));
        EXPECT_EQ(picture.FrameCount, c.frames);
        EXPECT_EQ(list.frames.size(), static_cast<size_t>(c.frames));
    }
    // With the first image only, a far second image is never read either.
    Parsed first = Parse(gif(2, 2, EmptyImages(1, 0, 0, 2, 2) + far), true);
    EXPECT_TRUE(first.ok);
    EXPECT_EQ(first.picture.ScreenWidth, 2);
}

TEST(GifParser, DataBeyondTheLastPixelIsPassedOver) {
    // The first image is 2 x 2 but carries the data of 400 pixels; reading goes on after it.
    std::vector<uint8_t> many(400);
    for (size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>(i % 7 == 0 ? 3 : i % 3);
    std::string data(1, '\x02');
    data += gif_test::SubBlocks(gif_test::LzwEncode(many, 2));
    Parsed p = Parse(GifBuilder()
                         .Header(2, 2, 2)
                         .ImageWithData(0, 0, 2, 2, data)
                         .Image(0, 0, 2, 2, kFour, 0, false, 2)
                         .Trailer()
                         .Bytes());
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.picture.FrameCount, 2);
    EXPECT_EQ(p.list.frames[0]->PixelAt(0, 0), 3);
    EXPECT_EQ(p.list.frames[0]->PixelAt(1, 0), 1);
    EXPECT_EQ(p.list.frames[0]->PixelAt(0, 1), 2);
    EXPECT_EQ(p.list.frames[0]->PixelAt(1, 1), 0);
    EXPECT_EQ(p.list.frames[1]->PixelAt(1, 1), 0);
    EXPECT_EQ(p.list.frames[1]->PixelAt(0, 0), 1);
}
