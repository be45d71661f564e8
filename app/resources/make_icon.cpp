// Writes the program's icon, as the windows show it, centred on a square for desktop menus.
//   make_icon OUT.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "FormStyle.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUT.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QImage icon = form_style::ProgramIconImage();
    QImage square(128, 128, QImage::Format_ARGB32);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((128 - icon.width()) / 2, (128 - icon.height()) / 2, icon);
    painter.end();
    return square.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
