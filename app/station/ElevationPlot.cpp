// SPDX-License-Identifier: GPL-3.0-or-later
#include "ElevationPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

const QColor TElevationPlot::kWindowColour(190, 235, 190);

namespace {

const QColor kHomeColour(30, 80, 200);
const QColor kDxColour(200, 40, 40);
constexpr int kLeftMargin = 34, kRightMargin = 8, kTopMargin = 8, kBottomMargin = 20;
constexpr double kHoursBetweenLabels = 3;

}  // namespace

TElevationPlot::TElevationPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("elevationPlot"));
    setMinimumHeight(110);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TElevationPlot::SetCurves(Curves curves) {
    curves_ = std::move(curves);
    update();
}

void TElevationPlot::SetNow(double dayNumber) {
    if (dayNumber == now_) return;
    now_ = dayNumber;
    update();
}

QRectF TElevationPlot::PlotArea() const {
    return QRectF(rect()).adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
}

double TElevationPlot::XOf(double dayNumber) const {
    const QRectF area = PlotArea();
    const double span = curves_.until - curves_.from;
    if (!(span > 0)) return area.left();
    return area.left() + (dayNumber - curves_.from) / span * area.width();
}

double TElevationPlot::YOf(double elevation) const {
    const QRectF area = PlotArea();
    const double clamped = std::clamp(elevation, kLowestShown, kHighestShown);
    return area.bottom() - (clamped - kLowestShown) / (kHighestShown - kLowestShown) * area.height();
}

void TElevationPlot::DrawCurve(QPainter& painter, const std::vector<double>& samples, const QColor& colour) const {
    if (samples.size() < 2) return;
    QPainterPath path;
    const double step = (curves_.until - curves_.from) / static_cast<double>(samples.size() - 1);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const QPointF point(XOf(curves_.from + static_cast<double>(i) * step), YOf(samples[i]));
        if (i == 0) {
            path.moveTo(point);
        } else {
            path.lineTo(point);
        }
    }
    painter.setPen(QPen(colour, 1.6));
    painter.drawPath(path);
}

void TElevationPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRectF area = PlotArea();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(area);
    for (const Span& window : curves_.windows) {
        const double left = std::max(XOf(window.start), area.left()), right = std::min(XOf(window.end), area.right());
        if (right > left) painter.fillRect(QRectF(left, area.top(), right - left, area.height()), kWindowColour);
    }
    // Every 10 degrees a faint line; the horizon darker.
    for (int elevation = static_cast<int>(kLowestShown); elevation <= kHighestShown; elevation += 10) {
        painter.setPen(QPen(elevation == 0 ? QColor(120, 120, 120) : QColor(225, 225, 225), 1));
        painter.drawLine(QPointF(area.left(), YOf(elevation)), QPointF(area.right(), YOf(elevation)));
    }
    const double span = curves_.until - curves_.from;
    const double hours = span * 24;
    const double firstHour = std::ceil(curves_.from * 24 / kHoursBetweenLabels - 1e-9) * kHoursBetweenLabels;
    for (double hour = firstHour; span > 0 && hour <= curves_.from * 24 + hours + 1e-9; hour += kHoursBetweenLabels) {
        painter.setPen(QPen(QColor(225, 225, 225), 1));
        painter.drawLine(QPointF(XOf(hour / 24), area.top()), QPointF(XOf(hour / 24), area.bottom()));
    }
    painter.setPen(QPen(kHomeColour, 1, Qt::DashLine));
    painter.drawLine(QPointF(area.left(), YOf(curves_.minElevation)), QPointF(area.right(), YOf(curves_.minElevation)));
    painter.setPen(QPen(kDxColour, 1, Qt::DashLine));
    painter.drawLine(QPointF(area.left(), YOf(curves_.dxMinElevation)),
                     QPointF(area.right(), YOf(curves_.dxMinElevation)));
    painter.setRenderHint(QPainter::Antialiasing, true);
    DrawCurve(painter, curves_.home, kHomeColour);
    DrawCurve(painter, curves_.dx, kDxColour);
    if (now_ >= curves_.from && now_ <= curves_.until) {
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(QPointF(XOf(now_), area.top()), QPointF(XOf(now_), area.bottom()));
    }
    painter.setClipping(false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(palette().text().color());
    painter.drawRect(area);
    const QFontMetrics metrics(font());
    for (int elevation = 0; elevation <= kHighestShown; elevation += 30) {
        const QString text = QString::number(elevation) + QChar(0x00B0);
        painter.drawText(
            QPointF(area.left() - 4 - metrics.horizontalAdvance(text), YOf(elevation) + metrics.ascent() / 2.0), text);
    }
    for (double hour = firstHour; span > 0 && hour <= curves_.from * 24 + hours + 1e-9; hour += kHoursBetweenLabels) {
        const int hourOfDay = static_cast<int>(std::fmod(std::round(hour), 24.0));
        const QString text = QStringLiteral("%1:00").arg(hourOfDay, 2, 10, QLatin1Char('0'));
        const double x = XOf(hour / 24) - metrics.horizontalAdvance(text) / 2.0;
        if (x >= 0 && x + metrics.horizontalAdvance(text) <= width())
            painter.drawText(QPointF(x, area.bottom() + metrics.ascent() + 3), text);
    }
}
