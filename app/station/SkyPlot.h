// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <optional>
#include <vector>

#include "RotatorTracking.h"
#include "Station.h"
#include "horizon_mask.h"
#include "pointing.h"

// The station window's sky plot: the sky above the station as a disc, azimuth round it (north up, east to
// the right as on a map of the ground seen from above), elevation inward with the zenith at the centre.
// Today's (UTC) tracks of the Moon and the Sun above the horizon with a mark each whole hour, where both
// are now, where each rotator was last commanded (offsets taken off), the rotator's overlap range and the
// elevations outside its limits shaded, and the horizon mask filled from the horizon up.
//
// The tracks and everything that changes only with the settings are drawn once into a picture kept until
// the day, the station, the mask, the rotator limits or the size change; each Refresh (every second) draws
// that picture and the few points that move.
class TSkyPlot : public QWidget {
    Q_OBJECT
public:
    // records: the run's record of each axis's last command, where the rotators were sent;
    // rotators: the tracking whose settings and horizon mask are in force. Both outlive the plot.
    TSkyPlot(const Station::Records& records, const RotatorTracking::Tracker& rotators, QWidget* parent = nullptr);

    // Takes the clock, the station, the mask, the rotators' settings and their last commands, and repaints.
    void Refresh();

    // Draws the whole plot at a size (the widget paints itself with it).
    void Render(QPainter& painter, QSize size);

    // Where a direction falls in a disc (its bounding square): azimuth 0 up, 90 right; elevation 90 at the
    // centre, 0 on the rim; below the horizon is on the rim.
    static QPointF Place(const QRectF& disc, long double azimuth, long double elevation);
    // The disc of the plot in a widget of this size.
    static QRectF Disc(QSize size);

    // One sample of a track: a direction and whether it falls on a whole hour (its hour, UTC).
    struct Sample {
        long double azimuth, elevation;
        int hour = -1;
    };
    const std::vector<Sample>& MoonTrack() const { return moonTrack_; }
    const std::vector<Sample>& SunTrack() const { return sunTrack_; }
    // Where the Hamlib rotators last said they stand, offsets taken off; nothing before a read-back.
    const std::optional<Sample>& ReadBack() const { return readBack_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Inputs {
        double day = -1;
        pointing::Station home;
        horizon_mask::Mask mask;
        int32_t azimuthRange = 0, elevationMinimum = 0, elevationMaximum = 90;
        QSize size;
        bool operator==(const Inputs&) const;
    };
    void DrawBackground(QPainter& painter, const Inputs& inputs) const;

    Inputs inputs_;
    QPixmap background_;
    std::vector<Sample> moonTrack_, sunTrack_;
    std::optional<QPointF> moonNow_, sunNow_;
    Sample moon_{}, sun_{};
    std::optional<Sample> azimuthCommanded_, elevationCommanded_, readBack_;
    const Station::Records& records_;
    const RotatorTracking::Tracker& rotators_;
};
