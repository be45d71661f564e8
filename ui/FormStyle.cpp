// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormStyle.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QWidget>

#include "Fonts.h"

namespace form_style {
namespace {

class HintTimingStyle : public QProxyStyle {
public:
    explicit HintTimingStyle(int pauseMs) : pauseMs_(pauseMs) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return pauseMs_;
        if (hint == SH_ToolTip_FallAsleepDelay) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    int pauseMs_;
};

}  // namespace

void ApplyFixedBorder(QWidget* window, QSize clientSize) {
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window->setFont(fonts::WindowFont());
    window->setWindowIcon(ProgramIcon());
    if (clientSize.isValid()) window->setFixedSize(clientSize);
}

QImage ProgramIconImage(qreal scale) {
    QImage image(qRound(kIconWidth * scale), qRound(kIconHeight * scale), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(12, 16, 48));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    // The Moon, a little cratered.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(236, 232, 206));
    painter.drawEllipse(QPointF(56, 30), 22, 22);
    painter.setBrush(QColor(196, 192, 170));
    painter.drawEllipse(QPointF(49, 24), 5, 5);
    painter.drawEllipse(QPointF(63, 38), 4, 4);
    painter.drawEllipse(QPointF(62, 22), 3, 3);
    // A dish on its mount, looking up at the Moon.
    painter.setBrush(QColor(200, 206, 214));
    QPainterPath dish;
    dish.moveTo(8, 78);
    dish.quadTo(30, 112, 66, 86);
    dish.lineTo(8, 78);
    painter.drawPath(dish);
    painter.setPen(QPen(QColor(200, 206, 214), 3));
    painter.drawLine(QPointF(36, 90), QPointF(47, 62));
    painter.drawLine(QPointF(36, 95), QPointF(36, 118));
    painter.drawLine(QPointF(22, 120), QPointF(50, 120));
    // The signal on its way and back.
    painter.setPen(QPen(QColor(255, 200, 60), 2, Qt::DashLine));
    painter.drawLine(QPointF(47, 62), QPointF(54, 50));
    return image;
}

QIcon ProgramIcon() {
    static const QIcon icon(QPixmap::fromImage(ProgramIconImage()));
    return icon;
}

void SetHintPause(int pauseMs) {
    QApplication::setStyle(new HintTimingStyle(pauseMs));
}

}  // namespace form_style
