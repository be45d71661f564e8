// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of single images: LZW edge cases, interlacing, damaged data, descriptor values.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "GifDecoder.h"
#include "GifTestEncoder.h"

using namespace gif_core;
using gif_test::GifBuilder;
using gif_test::PackCodes;
using gif_test::SubBlocks;

namespace {

GraphicControlBlock Gce(int packed, int delay, int transparentIndex) {
    return {4,
            static_cast<uint8_t>(packed),
            static_cast<uint8_t>(delay & 0xFF),
            static_cast<uint8_t>(delay >> 8),
            static_cast<uint8_t>(transparentIndex),
            0};
}

// An image descriptor (no local table) followed by data, decoded against an empty global table.
struct Decoded {
    GifFrame frame;
    size_t endPosition = 0;
};

Decoded DecodeData(int width, int height, const std::string& data, bool interlaced = false,
                   GraphicControlBlock gce = {}) {
    std::string bytes = GifBuilder().ImageWithData(0, 0, width, height, data, interlaced).Bytes();
    ByteStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    Decoded out;
    EXPECT_TRUE(ReadFrame(out.frame, stream, Palette{}, gce, 0, kMaxDecodedPixels, nullptr));
    out.endPosition = stream.Position() - 10;  // counted from the start of the image data
    return out;
}

std::vector<uint8_t> Rows(const GifFrame& f) {
    std::vector<uint8_t> out;
    for (int y = 0; y < f.Height; ++y)
        for (int x = 0; x < f.Width; ++x) out.push_back(f.PixelAt(x, y));
    return out;
}

std::string MinSize(int m) {
    return std::string(1, static_cast<char>(m));
}

// Image data: the minimum code size, then the given bytes cut into sub-blocks.
std::string Data(int m, const std::string& bytes) {
    std::string out = MinSize(m);
    out += SubBlocks(bytes);
    return out;
}

}  // namespace

// The 3 x 5 two-colour sample from the format's well-known worked example: its 9-bit code
// stream 100 028 0FF 103 102 103 106 107 101 uses codes equal to the next free code three times.
TEST(GifDecoder, DecodesPublishedWorkedExample) {
    const std::string data("\x00\x51\xFC\x1B\x28\x70\xA0\xC1\x83\x01\x01", 11);
    const std::vector<uint8_t> expected = {0x28, 0xFF, 0xFF, 0xFF, 0x28, 0xFF, 0xFF, 0xFF,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // The test encoder gives the same bytes, so it can be trusted for the other cases.
    EXPECT_EQ(gif_test::LzwEncode(expected, 8), data);
    Decoded d = DecodeData(3, 5, Data(8, data));
    EXPECT_EQ(Rows(d.frame), expected);
    EXPECT_EQ(d.endPosition, 1 + 1 + data.size() + 1);  // stream stands after the terminator
}

TEST(GifDecoder, RoundTripsNoiseAtEveryCodeSize) {
    std::mt19937 rng(7);
    for (int m = 2; m <= 8; ++m) {
        for (bool clearWhenFull : {true, false}) {
            const int w = 97, h = 83;  // 8051 pixels: the table fills at every code size
            std::vector<uint8_t> px(w * h);
            for (auto& p : px) p = static_cast<uint8_t>(rng() % (1u << m));
            Decoded d = DecodeData(w, h, Data(m, gif_test::LzwEncode(px, m, clearWhenFull)));
            EXPECT_EQ(Rows(d.frame), px) << "code size " << m << (clearWhenFull ? "" : ", full table kept");
        }
    }
}

TEST(GifDecoder, InterlacedRowsLandInPlaceForSmallHeights) {
    // Each row holds its own number; the data carries the rows in interlaced order.
    const std::vector<std::vector<int>> dataOrder = {{0}, {0, 1}, {0, 2, 1}, {0, 2, 1, 3}, {0, 8, 4, 2, 6, 1, 3, 5, 7}};
    for (const auto& order : dataOrder) {
        const int h = static_cast<int>(order.size());
        std::vector<uint8_t> inDataOrder;
        for (int row : order) inDataOrder.insert(inDataOrder.end(), {uint8_t(row + 1), uint8_t(row + 1)});
        Decoded d = DecodeData(2, h, Data(4, gif_test::LzwEncode(inDataOrder, 4)), true);
        for (int y = 0; y < h; ++y) {
            EXPECT_EQ(d.frame.PixelAt(0, y), y + 1) << "height " << h << " row " << y;
            EXPECT_EQ(d.frame.PixelAt(1, y), y + 1) << "height " << h << " row " << y;
        }
    }
}

TEST(GifDecoder, RepeatedClearCodesActAsOne) {
    // Minimum code size 2: clear 4, end 5, 3-bit codes until the table reaches 8 entries.
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> codes;
        std::vector<uint8_t> pixels;
    };
    const std::vector<Case> cases = {
        {"two clears at the start", {{4, 3}, {4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 4}}, {1, 2, 3}},
        {"two clears in the middle", {{4, 3}, {1, 3}, {2, 3}, {4, 3}, {4, 3}, {3, 3}, {0, 3}, {5, 3}}, {1, 2, 3, 0}},
    };
    for (const auto& c : cases) {
        Decoded d = DecodeData(static_cast<int>(c.pixels.size()), 1, Data(2, PackCodes(c.codes)));
        EXPECT_EQ(Rows(d.frame), c.pixels) << c.name;
    }
}

TEST(GifDecoder, ShortDataLeavesRestAtZeroAndSeeThrough) {
    // 4 x 2 image, transparent index 3: codes give 1, 3, 2 and then the data stops.
    const std::string codes = PackCodes({{4, 3}, {1, 3}, {3, 3}, {2, 3}});
    struct Case {
        const char* name;
        std::string data;
    };
    const std::vector<Case> cases = {
        {"stream ends inside the sub-block", std::string("\x02\x0A", 2).append(codes)},
        {"empty sub-block before the end code", Data(2, codes)},
        {"end code early", Data(2, PackCodes({{4, 3}, {1, 3}, {3, 3}, {2, 3}, {5, 4}}))},
    };
    for (const auto& c : cases) {
        Decoded d = DecodeData(4, 2, c.data, false, Gce(1, 0, 3));
        EXPECT_EQ(Rows(d.frame), (std::vector<uint8_t>{1, 3, 2, 0, 0, 0, 0, 0})) << c.name;
        const std::vector<bool> seeThrough = {false, true, false, true, true, true, true, true};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(d.frame.SeeThroughAt(i % 4, i / 4), seeThrough[i]) << c.name << " " << i;
    }
}

TEST(GifDecoder, SeeThroughMaskFollowsEachRowsOwnPixels) {
    // Rows of every width class (below one 16-pixel step, between steps, not a multiple of 4),
    // plain and interlaced, with all pixels delivered or the data ending inside a row. A pixel is
    // see-through when it carries the transparent index or the data never reached it.
    struct Case {
        int width;
        int height;
        bool interlaced;
        int delivered;  // pixels the data carries, in the order the data delivers rows
    };
    const std::vector<Case> cases = {
        {1, 11, false, 11},  {1, 11, true, 11},    {3, 11, true, 20},      {5, 11, false, 55},
        {5, 11, true, 55},   {16, 11, true, 176},  {17, 11, false, 100},   {17, 11, true, 100},
        {33, 11, true, 363}, {105, 11, true, 777}, {105, 11, false, 1155}, {105, 13, true, 1000},
    };
    constexpr uint8_t kSee = 2;
    std::mt19937 rng(11);
    for (const auto& c : cases) {
        // The image's rows in the order the data carries them: every 8th row from 0, every 8th
        // from 4, every 4th from 2, every 2nd from 1 when interlaced.
        std::vector<int> rowOrder;
        if (c.interlaced) {
            for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < c.height; y += step) rowOrder.push_back(y);
        } else {
            for (int y = 0; y < c.height; ++y) rowOrder.push_back(y);
        }
        std::vector<uint8_t> image(static_cast<size_t>(c.width) * c.height);
        for (auto& v : image) v = static_cast<uint8_t>(rng() % 4);
        std::vector<uint8_t> inDataOrder;
        for (int y : rowOrder)
            inDataOrder.insert(inDataOrder.end(), image.begin() + y * c.width, image.begin() + (y + 1) * c.width);
        inDataOrder.resize(static_cast<size_t>(c.delivered));
        const Decoded d =
            DecodeData(c.width, c.height, Data(2, gif_test::LzwEncode(inDataOrder, 2)), c.interlaced, Gce(1, 0, kSee));
        const std::string name = std::to_string(c.width) + " x " + std::to_string(c.height) +
                                 (c.interlaced ? " interlaced, " : ", ") + std::to_string(c.delivered) + " delivered";
        for (size_t k = 0; k < rowOrder.size(); ++k) {
            const int y = rowOrder[k];
            for (int x = 0; x < c.width; ++x) {
                const bool reached = k * c.width + x < static_cast<size_t>(c.delivered);
                const uint8_t value = reached ? image[static_cast<size_t>(y) * c.width + x] : 0;
                EXPECT_EQ(d.frame.PixelAt(x, y), value) << name << ", pixel " << x << ", " << y;
                EXPECT_EQ(d.frame.SeeThroughAt(x, y), !reached || value == kSee)
                    << name << ", pixel " << x << ", " << y;
            }
        }
    }
}

TEST(GifDecoder, MinimumCodeSizeAboveFifteenReadsNothing) {
    // After the size byte come bytes that must stay unread.
    Decoded d = DecodeData(3, 2, Data(16, "\x12\x34"), false, Gce(1, 0, 0));
    EXPECT_EQ(Rows(d.frame), std::vector<uint8_t>(6, 0));
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(d.frame.SeeThroughAt(i % 3, i / 3));  // all covered
    EXPECT_EQ(d.endPosition, 1u);
}

TEST(GifDecoder, DamagedCodesNeverReachOutsideTheTables) {
    // Code sizes 12 to 15 put the clear code beyond the table; random codes must decode safely.
    std::mt19937 rng(11);
    for (int m = 9; m <= 15; ++m) {
        std::string data;
        for (int i = 0; i < 600; ++i) data.push_back(static_cast<char>(rng()));
        Decoded d = DecodeData(40, 30, Data(m, data), false, Gce(1, 0, 7));
        EXPECT_EQ(d.frame.Width, 40);
    }
}

TEST(GifDecoder, DescriptorAndControlValues) {
    struct Case {
        int packed;
        int delay;
        uint8_t disposal;
        int32_t delayMs;
        bool transparent;
    };
    const Case cases[] = {
        {0 << 2, 0, 0, 0, false},
        {1 << 2, 7, 1, 70, false},
        {2 << 2 | 1, 100, 2, 1000, true},
        {3 << 2, 1, 3, 10, false},
        {4 << 2, 0, 2, 0, false},
        {5 << 2, 0, 2, 0, false},
        {7 << 2 | 1, 65535, 2, 655350, true},
    };
    for (const auto& c : cases) {
        Decoded d = DecodeData(1, 1, Data(2, PackCodes({{4, 3}, {1, 3}, {5, 3}})), false, Gce(c.packed, c.delay, 9));
        EXPECT_EQ(d.frame.Disposal, c.disposal) << c.packed;
        EXPECT_EQ(d.frame.Delay, c.delayMs) << c.packed;
        EXPECT_EQ(d.frame.Transparent, c.transparent) << c.packed;
    }
}

TEST(GifDecoder, DescriptorLimits) {
    struct Case {
        int width, height;
        const char* outcome;  // "false", "abort", "ok"
    };
    const Case cases[] = {{0, 5, "false"}, {5, 0, "false"}, {16385, 1, "abort"}, {1, 17000, "abort"}, {16384, 1, "ok"}};
    for (const auto& c : cases) {
        std::string bytes = GifBuilder().ImageWithData(0, 0, c.width, c.height, Data(2, "")).Bytes();
        ByteStream s(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        GifFrame f;
        std::string outcome;
        try {
            outcome = ReadFrame(f, s, Palette{}, {}, 0, kMaxDecodedPixels, nullptr) ? "ok" : "false";
        } catch (const AbortError&) {
            outcome = "abort";
        }
        EXPECT_EQ(outcome, c.outcome) << c.width << " x " << c.height;
        if (outcome == "false") {
            EXPECT_EQ(s.Position(), 10u);
        }
    }
    // A cut-off descriptor is the stream's read error.
    const uint8_t cut[] = {',', 0, 0, 0};
    ByteStream s(cut, sizeof cut);
    GifFrame f;
    EXPECT_THROW(ReadFrame(f, s, Palette{}, {}, 0, kMaxDecodedPixels, nullptr), ReadError);
}

TEST(GifDecoder, LocalTableCutShortLeavesBlack) {
    // Descriptor with a 2-bit local table of which only 1.5 entries arrive.
    const std::string bytes = std::string(",\0\0\0\0\1\0\1\0\x81", 10) + "\x10\x20\x30\x40\x50";
    ByteStream s(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    GifFrame f;
    ASSERT_TRUE(ReadFrame(f, s, Palette{}, {}, 0, kMaxDecodedPixels, nullptr));
    EXPECT_EQ(f.LocalBits, 2);
    EXPECT_EQ(f.ColorCount, 4);
    EXPECT_EQ(f.Colors[3], 0x40);
    EXPECT_EQ(f.Colors[5], 0);
    EXPECT_EQ(f.Colors[11], 0);
}

TEST(GifDecoder, ProgressEveryRowBlockOfLargeImages) {
    struct Case {
        int width, height;
        int expectedCalls;
    };
    // 400 x 300 = 120000 pixels, rows 0, 32, ..., 288: 10 calls; 200 x 600 = 120000, every 64 rows:
    // 10 calls; 300 x 300 = 90000 pixels: none.
    const Case cases[] = {{400, 300, 10}, {200, 600, 10}, {300, 300, 0}};
    for (const auto& c : cases) {
        std::vector<uint8_t> px(c.width * c.height, 1);
        std::string bytes = GifBuilder().Image(0, 0, c.width, c.height, px, 0, false, 2).Bytes();
        ByteStream s(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        GifFrame f;
        int calls = 0;
        ASSERT_TRUE(ReadFrame(f, s, Palette{}, {}, 0, kMaxDecodedPixels, [&] { ++calls; }));
        EXPECT_EQ(calls, c.expectedCalls) << c.width << " x " << c.height;
    }
}

TEST(GifDecoder, WideLiteralsAreSeeThroughOnlyForTheirOwnValue) {
    // With a minimum code size above 8, literals reach 256 and more; a pixel is see-through only
    // when its literal is the transparent index itself (3 here), not one that shares its low byte.
    struct Case {
        int minCodeSize;
        std::vector<int> literals;  // each one code; the last two form a table string when repeated
        std::vector<uint8_t> pixels;
        std::vector<bool> seeThrough;
    };
    const std::vector<Case> cases = {
        {9, {259, 3}, {3, 3}, {false, true}},
        {10, {3, 515, 771}, {3, 3, 3}, {true, false, false}},
        {11, {1027, 3, 1283}, {3, 3, 3}, {false, true, false}},
    };
    for (const auto& c : cases) {
        const int clear = 1 << c.minCodeSize;
        const int width = c.minCodeSize + 1;
        std::vector<std::pair<int, int>> codes = {{clear, width}};
        for (int literal : c.literals) codes.push_back({literal, width});
        // The first table entry (clear + 2) is the first two literals: it repeats them.
        codes.push_back({clear + 2, width});
        codes.push_back({clear + 1, width});
        std::vector<uint8_t> pixels = c.pixels;
        pixels.push_back(c.pixels[0]);
        pixels.push_back(c.pixels[1]);
        std::vector<bool> seeThrough = c.seeThrough;
        seeThrough.push_back(c.seeThrough[0]);
        seeThrough.push_back(c.seeThrough[1]);
        const int w = static_cast<int>(pixels.size());
        Decoded d = DecodeData(w, 1, Data(c.minCodeSize, PackCodes(codes)), false, Gce(1, 0, 3));
        EXPECT_EQ(Rows(d.frame), pixels) << "code size " << c.minCodeSize;
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(d.frame.SeeThroughAt(x, 0), seeThrough[x]) << "code size " << c.minCodeSize << " pixel " << x;
    }
}

TEST(GifDecoder, ProgressPositionClimbsWithTheDataRead) {
    // 400 x 300 pixels, one 9-bit literal each, a clear code before every 254 of them (so the
    // width stays 9 bits), in full 255-byte sub-blocks. A progress report comes after rows 0, 32,
    // ..., 288; by then the decoder has read the sub-blocks up to the one that ends after the code
    // of the row's last pixel (it takes the next block as soon as a code would reach the end).
    const int w = 400, h = 300;
    std::vector<std::pair<int, int>> codes;
    for (int i = 0; i < w * h; ++i) {
        if (i % 254 == 0) codes.push_back({256, 9});
        codes.push_back({(i * 7) % 256, 9});
    }
    codes.push_back({257, 9});
    const std::string packed = PackCodes(codes);
    const std::string bytes = GifBuilder().ImageWithData(0, 0, w, h, Data(8, packed)).Bytes();
    ByteStream s(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::vector<size_t> positions;
    GifFrame f;
    ASSERT_TRUE(ReadFrame(f, s, Palette{}, {}, 0, kMaxDecodedPixels, [&] { positions.push_back(s.Position()); }));
    std::vector<size_t> expected;
    const size_t blocks = (packed.size() + 254) / 255;
    for (int row = 0; row < h; row += 32) {
        const size_t last = static_cast<size_t>(row + 1) * w - 1;  // pixel index
        const size_t code = last / 254 * 255 + 1 + last % 254;     // its code's index
        const size_t endBit = (code + 1) * 9;
        const size_t read = std::min(endBit / (8 * 255) + 1, blocks);
        expected.push_back(10 + 1 + 256 * read);  // descriptor, code size, blocks with length bytes
    }
    EXPECT_EQ(positions, expected);
    EXPECT_EQ(s.Position(), bytes.size());  // after the image the stream stands after its data
}

TEST(GifDecoder, EachDecodingOnAThreadStandsAlone) {
    // A thread keeps the decoder's tables from one image to the next, and a decoding started from
    // a progress handler, while they are in use, gets tables of its own. Every image must come out
    // as on a thread that never decoded anything: damaged data (whose walk reaches any entry), a
    // large image with progress, and a see-through one with wide literals (decoded twice).
    std::mt19937 rng(5);
    std::string damaged = MinSize(8);
    for (int i = 0; i < 40; ++i) {
        std::string block(1, static_cast<char>(200));
        for (int k = 0; k < 200; ++k) block += static_cast<char>(rng() & 0xFF);
        damaged += block;
    }
    damaged += '\0';
    std::vector<uint8_t> large(400 * 300);
    for (auto& v : large) v = static_cast<uint8_t>(rng() % 7 == 0 ? rng() & 0xFF : 9);
    std::vector<std::pair<int, int>> wide = {{512, 10}};
    for (int i = 0; i < 300; ++i) wide.push_back({i % 5 == 0 ? 3 : 259 + i % 3, 10});
    wide.push_back({513, 10});
    struct Image {
        std::string bytes;
        GraphicControlBlock gce;
    };
    const std::vector<Image> images = {
        {GifBuilder().ImageWithData(0, 0, 60, 50, damaged).Bytes(), {}},
        {GifBuilder().Image(0, 0, 400, 300, large).Bytes(), {}},
        {GifBuilder().ImageWithData(0, 0, 30, 10, Data(9, PackCodes(wide))).Bytes(), Gce(1, 0, 3)},
    };
    // Pixels, see-through marks and where reading stopped; from a handler that decodes another
    // image at every report, when one is given.
    auto decode = [](const Image& image, const std::function<void()>& progress) {
        ByteStream s(reinterpret_cast<const uint8_t*>(image.bytes.data()), image.bytes.size());
        GifFrame f;
        EXPECT_TRUE(ReadFrame(f, s, Palette{}, image.gce, 0, kMaxDecodedPixels, progress));
        std::vector<uint8_t> out = Rows(f);
        for (int y = 0; y < f.Height; ++y)
            for (int x = 0; x < f.Width; ++x) out.push_back(f.SeeThroughAt(x, y));
        out.push_back(static_cast<uint8_t>(s.Position()));
        return out;
    };
    std::vector<std::vector<uint8_t>> fresh(images.size());
    for (size_t i = 0; i < images.size(); ++i) std::thread([&, i] { fresh[i] = decode(images[i], nullptr); }).join();

    for (size_t i = 0; i < images.size(); ++i) EXPECT_EQ(decode(images[i], nullptr), fresh[i]) << "image " << i;
    int nested = 0;
    const auto whileLarge = decode(images[1], [&] {
        const size_t other = nested++ % 2 == 0 ? 0 : 2;
        EXPECT_EQ(decode(images[other], nullptr), fresh[other]) << "image " << other << " from a handler";
    });
    EXPECT_EQ(nested, 10);
    EXPECT_EQ(whileLarge, fresh[1]);
    for (size_t i = images.size(); i-- > 0;) EXPECT_EQ(decode(images[i], nullptr), fresh[i]) << "image " << i;
}
