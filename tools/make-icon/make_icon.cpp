// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program's icon, as the windows show it, drawn to fill the height of a square of the
// given size and centred on it, for desktop menus.
//   make_icon SIZE OUT.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>

#include "FormStyle.h"

int main(int argc, char* argv[]) {
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: make_icon SIZE OUT.png   (SIZE from 16 to 1024 pixels)\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QImage icon = form_style::ProgramIconImage(qreal(size) / form_style::kIconHeight);
    QImage square(size, size, QImage::Format_ARGB32);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((size - icon.width()) / 2, (size - icon.height()) / 2, icon);
    painter.end();
    return square.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
