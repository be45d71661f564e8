// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotatorTracking.h"

#include <cstdlib>

#include "AxisTransports.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "Position.h"
#include "RotatorSettings.h"
#include "Rotators.h"
#include "Station.h"
#include "Unit3.h"

namespace RotatorTracking {

namespace {

using Protocols::Axis;

constexpr char kDegree[] = "\u00B0";  // the notice is UTF-8 text

RotatorPlan::Horizontal TargetAt(Location::Instant at) {
    long double elevation = 0.0L;
    long double azimuth = 0.0L;
    Position::TargetPositionAt(Location::DayNumber(at), elevation, azimuth);
    return {azimuth, elevation};
}

bool CarriesAzimuth(const Protocols::Protocol* protocol) {
    return protocol != nullptr && protocol->carriesAzimuth;
}

}  // namespace

bool AnyFailed(const Station::Records& records) {
    return records.LastSendFailed(Axis::kAzimuth) || records.LastSendFailed(Axis::kElevation);
}

Tracker::Tracker(AxisTransports::Transports& transports) : transports_(transports), aim_(TargetAt) {}

Tracker::~Tracker() {
    transports_.Hamlib().UseRotatorSettings({});
}

void Tracker::Use(const RotatorSettings::Settings& settings) {
    settings_ = settings;
    transports_.Hamlib().UseRotatorSettings(settings_);
    Restart();
}

void Tracker::PointTargets(Location::Instant now) {
    if (Position::AZvalue.empty() || Position::ELvalue.empty()) return;
    const std::pair<long double, long double> here{Location::Longitude, Location::Latitude};
    if (plannedAt_ && *plannedAt_ != here) aim_.Restart();
    plannedAt_ = here;
    const RotatorPlan::Aimed aimed = aim_.TargetsAt(now, {Position::TargetAzimuth, Position::TargetElevation},
                                                    Unit3::AZoffset, Unit3::ELoffset, settings_, mask_);
    Position::AZtarget = aimed.whole.azimuth;
    Position::ELtarget = aimed.whole.elevation;
    Position::AZvalue = Protocols::CommandValue(aimed.whole.azimuth);
    Position::ELvalue = Protocols::CommandValue(aimed.whole.elevation);
    transports_.Hamlib().SetPointedTarget(aimed.unrounded.azimuth, aimed.unrounded.elevation);
}

bool Tracker::SendAxesAndNote(bool azimuth, bool elevation, const Rotators::SendObserver& observer) {
    const Protocols::Targets targets{Position::AZtarget, Position::ELtarget};
    const Protocols::Protocol* azimuthProtocol = Protocols::FindProtocol(Axis::kAzimuth, Unit3::AZtype);
    const Protocols::Protocol* elevationProtocol = Protocols::FindProtocol(Axis::kElevation, Unit3::ELtype);
    const Rotators::AxesSent sent =
        Rotators::SendAxes(transports_, azimuth, elevation, settings_.azimuthRange, observer);
    // An unknown protocol sent nothing, so it moved nothing either.
    if (sent.azimuth && azimuthProtocol != nullptr) deadband_.Sent(Axis::kAzimuth, targets, false);
    if (sent.elevation && elevationProtocol != nullptr)
        deadband_.Sent(Axis::kElevation, targets, CarriesAzimuth(elevationProtocol));
    return (sent.azimuth || !azimuth) && (sent.elevation || !elevation);
}

bool Tracker::SendOwed(const Station::Records& records, const MoveTiming::Sends& sends,
                       const Rotators::SendObserver& observer) {
    bool azimuth = false;
    bool elevation = false;
    if (sends.tick || sends.all) {
        const Protocols::Targets targets{Position::AZtarget, Position::ELtarget};
        const Protocols::Protocol* elevationProtocol = Protocols::FindProtocol(Axis::kElevation, Unit3::ELtype);
        const int32_t deadband = sends.all ? 0 : settings_.deadband;
        azimuth = deadband_.Due(Axis::kAzimuth, targets, false, deadband);
        elevation = deadband_.Due(Axis::kElevation, targets, CarriesAzimuth(elevationProtocol), deadband);
    }
    if (sends.retry) {
        azimuth = azimuth || records.LastSendFailed(Axis::kAzimuth);
        elevation = elevation || records.LastSendFailed(Axis::kElevation);
    }
    const bool sent = !azimuth && !elevation ? true : SendAxesAndNote(azimuth, elevation, observer);
    const bool hamlibAzimuth = sends.azimuth && !azimuth;
    const bool hamlibElevation = sends.elevation && !elevation;
    if (hamlibAzimuth || hamlibElevation) transports_.Hamlib().Send(hamlibAzimuth, hamlibElevation);
    return sent;
}

bool Tracker::Send(const Station::Records& records, bool automatic, const Rotators::SendObserver& observer) {
    return SendOwed(records, {.tick = automatic, .all = !automatic}, observer);
}

bool Tracker::RetryFailed(const Station::Records& records, const Rotators::SendObserver& observer) {
    return SendOwed(records, {.retry = true}, observer);
}

void Tracker::Restart() {
    aim_.Restart();
    deadband_.Forget();
}

void Tracker::FollowPassFrom(Location::Instant start) {
    aim_.Restart();
    const RotatorPlan::Horizontal atStart = TargetAt(start);
    aim_.TargetsAt(start, atStart, Unit3::AZoffset, Unit3::ELoffset, settings_, mask_);
}

std::string Tracker::PassNotice() const {
    const int32_t range = settings_.azimuthRange;
    const auto& pass = CurrentPass();
    if (range <= RotatorSettings::kStopAtNorth || !pass || Position::AZvalue.empty()) return {};
    std::string notice = "Pass on 0-" + std::to_string(range) + ": " + Journal::UtcMinute(pass->start) + " to " +
                         Journal::UtcMinute(pass->end) + ", ";
    if (pass->swing) {
        const RotatorPlan::Pass::Swing& swing = *pass->swing;
        return notice + "no side holds it all; the rotator swings through its stop at " + Journal::UtcMinute(swing.at) +
               ", from " + std::to_string(swing.from) + kDegree + " to " + std::to_string(swing.to) + kDegree + " (" +
               std::to_string(std::abs(swing.to - swing.from)) + kDegree +
               (swing.to > swing.from ? " clockwise)" : " anticlockwise)");
    }
    return notice + "held whole on the " + (pass->shift == 0 ? "lower" : "upper") + " turn";
}

int Tracker::TimerMilliseconds() const {
    return RotatorPlan::TickMilliseconds(Unit3::TrackInterval, settings_.intervalSeconds);
}

Location::Instant PassStartBefore(Location::Instant at) {
    if (TargetAt(at).elevation < 0.0L) return at;
    Location::Instant start = at;
    const Location::Instant earliest = at - RotatorPlan::kLongestPass;
    while (start - RotatorPlan::kPassStep >= earliest && TargetAt(start - RotatorPlan::kPassStep).elevation >= 0.0L)
        start -= RotatorPlan::kPassStep;
    return start;
}

}  // namespace RotatorTracking
