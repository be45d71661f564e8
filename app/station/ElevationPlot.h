// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <vector>

// The Moon's elevation at two stations over a day, drawn with the painter: the home station's curve in
// blue, the DX station's in red, their minimum elevations as dashed lines of the same colours, the mutual
// windows shaded green, and the present as a black line. Times are UTC day numbers (days since
// 1899-12-30); elevations are degrees.
class TElevationPlot : public QWidget {
    Q_OBJECT
public:
    static constexpr double kLowestShown = -30;  // degrees at the bottom of the plot
    static constexpr double kHighestShown = 90;

    struct Span {
        double start, end;
    };
    struct Curves {
        double from = 0, until = 0;    // the time axis
        std::vector<double> home, dx;  // evenly spaced samples from `from` to `until`, both ends included
        double minElevation = 5, dxMinElevation = 5;
        std::vector<Span> windows;
    };

    explicit TElevationPlot(QWidget* parent = nullptr);

    void SetCurves(Curves curves);
    void SetNow(double dayNumber);
    const Curves& Shown() const { return curves_; }

    // Where the painter puts a time and an elevation, in the widget's pixels.
    QRectF PlotArea() const;
    double XOf(double dayNumber) const;
    double YOf(double elevation) const;

    QSize sizeHint() const override { return {560, 200}; }
    QSize minimumSizeHint() const override { return {240, 110}; }

    static const QColor kWindowColour;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawCurve(class QPainter& painter, const std::vector<double>& samples, const QColor& colour) const;

    Curves curves_;
    double now_ = 0;
};
