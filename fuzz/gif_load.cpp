// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any bytes through the picture control's loading entry, then a paint of the
// result. A load must end in true or false; nothing may crash, hang, leak or misbehave.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "GIFImage.h"

namespace {
QApplication* app = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    app = new QApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    TGIFImage image;
    image.resize(64, 48);
    if (image.LoadFromStream(stream)) {
        image.SetStretchRatio(true);
        QImage target(64, 48, QImage::Format_RGB32);
        target.fill(Qt::gray);
        QPainter painter(&target);
        image.UpdateOpaque();
        image.DrawImage(painter);
    }
    return 0;
}
