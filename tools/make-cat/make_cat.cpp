// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the cat of the main window and writes it as the picture control's stored data.
//
//   make_cat OUT.gif OUT.data
//
// The picture: GIF89a, 105 x 139, a 256-entry global colour table, one graphic control extension
// (transparent index 255, disposal 0, delay 0) and one interlaced image over the whole picture
// without a local table. OUT.data is the control's stored block: a 4-byte little-endian count,
// then the GIF file.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 105;
constexpr int kHeight = 139;
constexpr int kTransparentIndex = 255;

QImage DrawCat() {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);  // GIF transparency is all or nothing
    // The window shows the picture from its 17th row on: keep the ears below that line.
    p.translate(4, 15);
    p.scale(0.92, 0.92);

    const QColor fur(214, 138, 62), stripe(160, 92, 36), light(244, 214, 170), dark(40, 30, 24);
    p.setPen(QPen(dark, 1));

    // Tail, curled round the right side.
    QPainterPath tail;
    tail.moveTo(70, 128);
    tail.cubicTo(104, 126, 104, 88, 88, 78);
    tail.cubicTo(96, 92, 94, 118, 68, 120);
    p.setBrush(fur);
    p.drawPath(tail);

    // Body and chest.
    p.drawEllipse(QRect(18, 62, 66, 72));
    p.setBrush(light);
    p.drawEllipse(QRect(36, 72, 30, 46));
    // Front paws.
    p.drawEllipse(QRect(30, 122, 18, 12));
    p.drawEllipse(QRect(54, 122, 18, 12));

    // Ears, then the head over them.
    p.setBrush(fur);
    p.drawPolygon(QPolygon({QPoint(20, 40), QPoint(24, 6), QPoint(44, 26)}));
    p.drawPolygon(QPolygon({QPoint(82, 40), QPoint(78, 6), QPoint(58, 26)}));
    p.setBrush(QColor(236, 150, 160));
    p.drawPolygon(QPolygon({QPoint(25, 32), QPoint(27, 14), QPoint(38, 26)}));
    p.drawPolygon(QPolygon({QPoint(77, 32), QPoint(75, 14), QPoint(64, 26)}));
    p.setBrush(fur);
    p.drawEllipse(QRect(16, 18, 70, 56));

    // Tabby stripes on the forehead and the body.
    p.setPen(QPen(stripe, 2));
    p.drawLine(51, 21, 51, 31);
    p.drawLine(44, 22, 46, 31);
    p.drawLine(58, 22, 56, 31);
    p.drawLine(20, 86, 30, 90);
    p.drawLine(19, 98, 30, 100);
    p.drawLine(82, 86, 72, 90);
    p.drawLine(83, 98, 72, 100);

    // Eyes: green with slit pupils and a glint.
    p.setPen(QPen(dark, 1));
    p.setBrush(QColor(120, 200, 80));
    p.drawEllipse(QRect(30, 36, 14, 12));
    p.drawEllipse(QRect(58, 36, 14, 12));
    p.setBrush(dark);
    p.drawEllipse(QRect(35, 37, 4, 10));
    p.drawEllipse(QRect(63, 37, 4, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRect(36, 39, 1, 2));
    p.drawRect(QRect(64, 39, 1, 2));

    // Muzzle, nose, mouth and whiskers.
    p.setPen(QPen(dark, 1));
    p.setBrush(light);
    p.drawEllipse(QRect(38, 50, 26, 18));
    p.setBrush(QColor(230, 110, 130));
    p.drawPolygon(QPolygon({QPoint(47, 52), QPoint(55, 52), QPoint(51, 57)}));
    p.drawLine(51, 57, 51, 61);
    p.drawLine(51, 61, 46, 64);
    p.drawLine(51, 61, 56, 64);
    p.setPen(QPen(QColor(250, 250, 240), 1));
    p.drawLine(38, 57, 14, 52);
    p.drawLine(38, 60, 13, 61);
    p.drawLine(64, 57, 88, 52);
    p.drawLine(64, 60, 89, 61);
    p.end();
    return image;
}

struct IndexedPicture {
    std::vector<uint32_t> palette;  // 256 entries, RGB
    std::vector<uint8_t> pixels;    // row by row
};

// Every colour the drawing uses gets an entry of its own (it uses far fewer than 255); fully
// see-through pixels take the transparent index.
IndexedPicture Index(const QImage& image) {
    IndexedPicture out;
    out.palette.assign(256, 0);
    std::map<uint32_t, uint8_t> entries;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb argb = image.pixel(x, y);
            if (qAlpha(argb) < 128) {
                out.pixels.push_back(kTransparentIndex);
                continue;
            }
            const uint32_t rgb = argb & 0xFFFFFF;
            auto [it, added] = entries.emplace(rgb, static_cast<uint8_t>(entries.size()));
            if (added) {
                if (entries.size() > kTransparentIndex) throw std::runtime_error("too many colours");
                out.palette[it->second] = rgb;
            }
            out.pixels.push_back(it->second);
        }
    }
    return out;
}

// Variable-width LZW as GIF has it, least significant bit first, a clear code at the start and
// whenever the table is full.
std::string Lzw(const std::vector<uint8_t>& indices, int minCodeSize) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::string out;
    uint32_t buffer = 0;
    int bits = 0, width = minCodeSize + 1, next = end + 1;
    const auto putCode = [&](int code) {
        buffer |= static_cast<uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            out += static_cast<char>(buffer & 0xFF);
            buffer >>= 8;
            bits -= 8;
        }
    };
    std::map<std::pair<int, uint8_t>, int> table;
    putCode(clear);
    int prefix = -1;
    for (uint8_t index : indices) {
        if (prefix < 0) {
            prefix = index;
            continue;
        }
        if (const auto found = table.find({prefix, index}); found != table.end()) {
            prefix = found->second;
            continue;
        }
        putCode(prefix);
        if (next < 4096) {
            table[{prefix, index}] = next++;
            if (next > (1 << width) && width < 12) ++width;
        } else {
            putCode(clear);
            table.clear();
            next = end + 1;
            width = minCodeSize + 1;
        }
        prefix = index;
    }
    if (prefix >= 0) putCode(prefix);
    putCode(end);
    if (bits > 0) out += static_cast<char>(buffer & 0xFF);
    return out;
}

std::vector<uint8_t> InterlacedRows(const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> out;
    static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < kHeight; y += kStep[pass]) {
            out.insert(out.end(), pixels.begin() + y * kWidth, pixels.begin() + (y + 1) * kWidth);
        }
    }
    return out;
}

void PutWord(std::string& out, int value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

std::string EncodeGif(const IndexedPicture& picture) {
    std::string gif = "GIF89a";
    PutWord(gif, kWidth);
    PutWord(gif, kHeight);
    gif += static_cast<char>(0xF7);  // global table of 256 entries, 8 bits of colour resolution
    gif += '\0';                     // background index
    gif += '\0';                     // no aspect ratio
    for (uint32_t rgb : picture.palette) {
        gif += static_cast<char>(rgb >> 16);
        gif += static_cast<char>(rgb >> 8);
        gif += static_cast<char>(rgb);
    }
    // Graphic control: disposal 0, no user input, transparent colour 255, delay 0.
    gif += "\x21\xF9\x04\x01";
    PutWord(gif, 0);
    gif += static_cast<char>(kTransparentIndex);
    gif += '\0';
    // One interlaced image over the whole picture, no local table.
    gif += ',';
    PutWord(gif, 0);
    PutWord(gif, 0);
    PutWord(gif, kWidth);
    PutWord(gif, kHeight);
    gif += static_cast<char>(0x40);
    gif += static_cast<char>(8);
    const std::string data = Lzw(InterlacedRows(picture.pixels), 8);
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - at);
        gif += static_cast<char>(n);
        gif += data.substr(at, n);
    }
    gif += '\0';
    gif += ';';
    return gif;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_cat OUT.gif OUT.data\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const std::string gif = EncodeGif(Index(DrawCat()));
    std::string block;
    const auto n = static_cast<uint32_t>(gif.size());
    for (int i = 0; i < 4; ++i) block += static_cast<char>((n >> (8 * i)) & 0xFF);
    block += gif;
    std::ofstream(argv[1], std::ios::binary) << gif;
    std::ofstream(argv[2], std::ios::binary) << block;
    std::printf("%s: %u bytes\n", argv[1], n);
    return 0;
}
