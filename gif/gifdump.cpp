// SPDX-License-Identifier: GPL-3.0-or-later
// gifdump FILE OUTDIR: loads a GIF file through the picture control (offscreen), prints one line
// per frame and writes frame 1's composite as OUTDIR/frame1.png, see-through pixels transparent.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "GIFImage.h"

namespace {

// The composite with the mask's see-through pixels made fully transparent.
QImage CompositeWithAlpha(const TGIFImage& image) {
    QImage out = image.CompositeBitmap().convertToFormat(QImage::Format_ARGB32);
    const QImage& mask = image.CompositeMask();
    if (mask.isNull()) return out;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        const uchar* bits = mask.constScanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            if (bits[x >> 3] >> (7 - (x & 7)) & 1) row[x] = qRgba(0, 0, 0, 0);
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gifdump FILE OUTDIR\n");
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "gifdump: cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    TMemoryStream stream(std::move(bytes));
    TGIFImage image;
    if (!image.LoadFromStream(stream)) {
        std::fprintf(stderr, "gifdump: %s is not a GIF picture that can be read\n", argv[1]);
        return 1;
    }
    std::printf("%s: GIF%s, screen %d x %d, %d frame(s), loop count %d\n", argv[1],
                image.Version() == gvGIF89a ? "89a" : "87a", image.ScreenWidth(), image.ScreenHeight(),
                image.FrameCount(), image.LoopCount());
    for (int n = 1; n <= image.FrameCount(); ++n) {
        const TGIFFrame* f = image.Frame(n);
        std::printf(
            "frame %d: at %d,%d size %d x %d delay %d ms disposal %d transparent %s interlaced %s "
            "colours %lld\n",
            n, f->Left, f->Top, f->Width, f->Height, f->Delay, f->Disposal,
            f->Transparent ? std::to_string(f->TransparentIndex).c_str() : "no", f->Interlaced ? "yes" : "no",
            static_cast<long long>(f->Bitmap.colorCount()));
    }
    if (image.CompositeBitmap().isNull()) {
        std::fprintf(stderr, "gifdump: %s has an empty logical screen, no frame1.png written\n", argv[1]);
        return 1;
    }
    if (!QDir().mkpath(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "gifdump: cannot create %s\n", argv[2]);
        return 1;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).filePath("frame1.png");
    if (!CompositeWithAlpha(image).save(out, "PNG")) {
        std::fprintf(stderr, "gifdump: cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}
