// SPDX-License-Identifier: GPL-3.0-or-later
#include "SkyPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "AxisTransports.h"
#include "HamlibTransport.h"
#include "Location.h"
#include "PlanSettings.h"
#include "Position.h"
#include "RotatorSettings.h"
#include "Station.h"
#include "Unit3.h"

namespace {

constexpr int kMargin = 22;
constexpr int kTrackMinutes = 5;
constexpr int kMinutesPerDay = 1440;
constexpr long double kDegrees = 3.14159265358979323846L / 180;
const pointing::Atmosphere kNoRefraction{};

const QColor kSky(0xF4, 0xF7, 0xFC), kGrid(0xB8, 0xC2, 0xD0), kMaskFill(0x8A, 0x7A, 0x66, 0xB0),
    kLimitFill(0xD0, 0x40, 0x40, 0x30), kOverlapFill(0x40, 0x70, 0xD0, 0x30), kMoonColour(0x30, 0x50, 0xA0),
    kSunColour(0xE0, 0x90, 0x10), kCommandColour(0xC0, 0x20, 0x20);

pointing::Direction Where(pointing::Target target, double at, const pointing::Station& station) {
    return pointing::PrecisePosition(target, at, station, kNoRefraction);
}

std::vector<TSkyPlot::Sample> Track(pointing::Target target, double day, const pointing::Station& station) {
    std::vector<TSkyPlot::Sample> track;
    for (int minute = 0; minute <= kMinutesPerDay; minute += kTrackMinutes) {
        const pointing::Direction seen = Where(target, day + minute / 1440.0, station);
        track.push_back({seen.azimuth, seen.elevation, minute % 60 == 0 ? (minute / 60) % 24 : -1});
    }
    return track;
}

}  // namespace

bool TSkyPlot::Inputs::operator==(const Inputs& other) const {
    return day == other.day && home.latitude == other.home.latitude && home.longitudeEast == other.home.longitudeEast &&
           home.heightMetres == other.home.heightMetres && mask == other.mask && azimuthRange == other.azimuthRange &&
           elevationMinimum == other.elevationMinimum && elevationMaximum == other.elevationMaximum &&
           size == other.size;
}

TSkyPlot::TSkyPlot(const Station::Records& records, const RotatorTracking::Tracker& rotators, QWidget* parent)
    : QWidget(parent), records_(records), rotators_(rotators) {
    setObjectName(QStringLiteral("skyPlot"));
    setMinimumSize(320, 320);
}

QRectF TSkyPlot::Disc(QSize size) {
    const double side = std::max(10, std::min(size.width(), size.height()) - 2 * kMargin);
    return {(size.width() - side) / 2, (size.height() - side) / 2, side, side};
}

QPointF TSkyPlot::Place(const QRectF& disc, long double azimuth, long double elevation) {
    const long double radius = disc.width() / 2 * (90 - std::clamp(elevation, 0.0L, 90.0L)) / 90;
    return {static_cast<double>(disc.center().x() + radius * std::sin(azimuth * kDegrees)),
            static_cast<double>(disc.center().y() - radius * std::cos(azimuth * kDegrees))};
}

void TSkyPlot::Refresh() {
    const double now = Location::UtcNow();
    const pointing::Station home = PlanSettings::HomeStation(Unit3::Locator, Position::Pointing().station);
    const RotatorSettings::Settings& rotator = rotators_.Settings();
    Inputs inputs{std::floor(now),
                  home,
                  rotators_.Mask(),
                  rotator.azimuthRange,
                  rotator.elevation.minimum,
                  rotator.elevation.maximum.value_or(90),
                  size()};
    if (!(inputs == inputs_) || moonTrack_.empty()) {
        const bool newTracks = inputs.day != inputs_.day || !(inputs.home.latitude == inputs_.home.latitude &&
                                                              inputs.home.longitudeEast == inputs_.home.longitudeEast &&
                                                              inputs.home.heightMetres == inputs_.home.heightMetres);
        if (newTracks || moonTrack_.empty()) {
            moonTrack_ = Track(pointing::Target::Moon, inputs.day, home);
            sunTrack_ = Track(pointing::Target::Sun, inputs.day, home);
        }
        inputs_ = inputs;
        background_ = QPixmap();
    }
    const pointing::Direction moon = Where(pointing::Target::Moon, now, home);
    const pointing::Direction sun = Where(pointing::Target::Sun, now, home);
    moon_ = {moon.azimuth, moon.elevation};
    sun_ = {sun.azimuth, sun.elevation};
    // The rotators as last commanded, the offsets taken off to give the direction in the sky.
    const Station::AxisStatus azimuth = records_.StatusOf(Protocols::Axis::kAzimuth);
    const Station::AxisStatus elevation = records_.StatusOf(Protocols::Axis::kElevation);
    const auto commanded = [](const Station::AxisStatus& az, const Station::AxisStatus& el) -> std::optional<Sample> {
        if (!az.sends || !az.target) return std::nullopt;
        const long double pointedElevation = el.sends && el.target ? *el.target - Unit3::ELoffset : 0.0L;
        return Sample{std::fmod(*az.target - Unit3::AZoffset + 720.0L, 360.0L), pointedElevation};
    };
    azimuthCommanded_ = commanded(azimuth, elevation);
    elevationCommanded_ = azimuth.sends ? std::nullopt : commanded(elevation, elevation);
    // Where the rotators say they stand, where they are read back (Hamlib): an axis that is not read
    // back takes its coordinate from the command.
    const HamlibTransport::Axes& hamlib = records_.Transports().Hamlib();
    const auto actual = [&hamlib](Protocols::Axis axis) -> std::optional<HamlibRotator::Bearing> {
        const std::optional<HamlibTransport::AxisReading> reading = hamlib.Reading(axis);
        return reading ? reading->actual : std::nullopt;
    };
    const std::optional<HamlibRotator::Bearing> azimuthActual = actual(Protocols::Axis::kAzimuth);
    const std::optional<HamlibRotator::Bearing> elevationActual = actual(Protocols::Axis::kElevation);
    const std::optional<Sample>& aimed = azimuthCommanded_ ? azimuthCommanded_ : elevationCommanded_;
    if (azimuthActual || elevationActual) {
        readBack_ =
            Sample{azimuthActual ? std::fmod(azimuthActual->azimuth - Unit3::AZoffset + 720.0L, 360.0L)
                                 : (aimed ? aimed->azimuth : 0.0L),
                   elevationActual ? elevationActual->elevation - Unit3::ELoffset : (aimed ? aimed->elevation : 0.0L)};
    } else {
        readBack_.reset();
    }
    update();
}

void TSkyPlot::DrawBackground(QPainter& painter, const Inputs& inputs) const {
    const QRectF disc = Disc(inputs.size);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSky);
    painter.drawEllipse(disc);
    // The overlap: the azimuths the rotator reaches twice, from north on.
    if (inputs.azimuthRange > RotatorSettings::kStopAtNorth) {
        painter.setBrush(kOverlapFill);
        const int span = inputs.azimuthRange - RotatorSettings::kStopAtNorth;
        painter.drawPie(disc, 90 * 16, -span * 16);
    }
    // Elevations the rotator does not reach: under its minimum, over its maximum.
    painter.setBrush(kLimitFill);
    if (inputs.elevationMinimum > 0) {
        QPainterPath ring;
        ring.addEllipse(disc);
        const double inner = disc.width() / 2 * (90 - inputs.elevationMinimum) / 90.0;
        ring.addEllipse(disc.center(), inner, inner);
        painter.drawPath(ring);
    }
    if (inputs.elevationMaximum < 90) {
        const double inner = disc.width() / 2 * (90 - inputs.elevationMaximum) / 90.0;
        painter.drawEllipse(disc.center(), inner, inner);
    }
    // The horizon mask, from the horizon up to its line.
    if (!inputs.mask.Empty()) {
        QPainterPath mask;
        mask.addEllipse(disc);
        QPolygonF line;
        for (int azimuth = 0; azimuth < 360; ++azimuth) line << Place(disc, azimuth, inputs.mask.ElevationAt(azimuth));
        mask.addPolygon(line);
        mask.closeSubpath();
        painter.setBrush(kMaskFill);
        painter.drawPath(mask);
    }
    // Rings every 30 degrees of elevation, spokes every 30 degrees of azimuth, the cardinal points.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kGrid, 1));
    for (int elevation = 0; elevation < 90; elevation += 30) {
        const double radius = disc.width() / 2 * (90 - elevation) / 90.0;
        painter.drawEllipse(disc.center(), radius, radius);
    }
    for (int azimuth = 0; azimuth < 360; azimuth += 30) painter.drawLine(disc.center(), Place(disc, azimuth, 0));
    painter.setPen(Qt::black);
    const QFontMetrics metrics(painter.font());
    for (const auto& [azimuth, name] : {std::pair{0, "N"}, {90, "E"}, {180, "S"}, {270, "W"}}) {
        const QPointF rim = Place(disc, azimuth, 0);
        const QPointF outward = rim - disc.center();
        const double length = std::hypot(outward.x(), outward.y());
        const QPointF at = rim + outward / length * (metrics.height() * 0.7);
        const QString text = QString::fromLatin1(name);
        painter.drawText(QRectF(at.x() - 20, at.y() - 10, 40, 20), Qt::AlignCenter, text);
    }
    // Today's tracks above the horizon, with the hour at each whole hour.
    for (const auto& [track, colour] : {std::pair{&moonTrack_, kMoonColour}, {&sunTrack_, kSunColour}}) {
        painter.setPen(QPen(colour, 1.5));
        QPolygonF piece;
        const auto flush = [&] {
            if (piece.size() > 1) painter.drawPolyline(piece);
            piece.clear();
        };
        for (const Sample& sample : *track) {
            if (sample.elevation < 0) {
                flush();
                continue;
            }
            piece << Place(disc, sample.azimuth, sample.elevation);
        }
        flush();
        painter.setBrush(colour);
        for (const Sample& sample : *track) {
            if (sample.hour < 0 || sample.elevation < 0) continue;
            const QPointF at = Place(disc, sample.azimuth, sample.elevation);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(at, 2.5, 2.5);
            painter.setPen(colour);
            painter.drawText(at + QPointF(4, -3), QString::number(sample.hour));
        }
        painter.setBrush(Qt::NoBrush);
    }
}

void TSkyPlot::Render(QPainter& painter, QSize size) {
    if (background_.isNull() || background_.size() != size * devicePixelRatioF()) {
        Inputs inputs = inputs_;
        inputs.size = size;
        background_ = QPixmap(size * devicePixelRatioF());
        background_.setDevicePixelRatio(devicePixelRatioF());
        background_.fill(palette().color(QPalette::Window));
        QPainter backgroundPainter(&background_);
        backgroundPainter.setFont(font());
        DrawBackground(backgroundPainter, inputs);
    }
    painter.drawPixmap(0, 0, background_);
    const QRectF disc = Disc(size);
    painter.setRenderHint(QPainter::Antialiasing);
    // The bodies now: filled above the horizon, hollow on the rim below it.
    for (const auto& [body, colour, radius] : {std::tuple{moon_, kMoonColour, 7.0}, {sun_, kSunColour, 7.0}}) {
        const QPointF at = Place(disc, body.azimuth, body.elevation);
        painter.setPen(QPen(colour, 2));
        painter.setBrush(body.elevation >= 0 ? QBrush(colour) : QBrush(Qt::NoBrush));
        painter.drawEllipse(at, radius, radius);
    }
    // Where the rotators were told to point: a cross.
    for (const std::optional<Sample>& commanded : {azimuthCommanded_, elevationCommanded_}) {
        if (!commanded) continue;
        const QPointF at = Place(disc, commanded->azimuth, commanded->elevation);
        painter.setPen(QPen(kCommandColour, 2));
        painter.drawLine(at + QPointF(-6, -6), at + QPointF(6, 6));
        painter.drawLine(at + QPointF(-6, 6), at + QPointF(6, -6));
    }
    // Where they say they stand: a ring.
    if (readBack_) {
        painter.setPen(QPen(kCommandColour, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(Place(disc, readBack_->azimuth, readBack_->elevation), 9.0, 9.0);
    }
    painter.setPen(Qt::black);
    painter.drawText(
        QRectF(4, 2, size.width() - 8, 18), Qt::AlignLeft,
        QStringLiteral(
            "\u25CF Moon   \u25CF Sun   \u2715 rotator commanded   \u25CB read back   today's tracks, UTC hours"));
}

void TSkyPlot::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void TSkyPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Render(painter, size());
}
