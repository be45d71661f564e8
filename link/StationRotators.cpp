// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationRotators.h"

#include <cmath>

#include "HamlibTransport.h"
#include "Journal.h"
#include "Position.h"
#include "RotatorSettings.h"
#include "Unit3.h"

namespace StationLink {

namespace {

double AxisPosition(const HamlibTransport::Axes& hamlib, Protocols::Axis axis) {
    const bool azimuth = axis == Protocols::Axis::kAzimuth;
    const int32_t offset = azimuth ? Unit3::AZoffset : Unit3::ELoffset;
    if (const std::optional<HamlibTransport::AxisReading> reading = hamlib.Reading(axis)) {
        const std::optional<HamlibRotator::Bearing> bearing = reading->actual ? reading->actual : reading->commanded;
        if (bearing) return (azimuth ? bearing->azimuth : bearing->elevation) - offset;
    }
    // The serial line's value of the latest position update: what its last send carried.
    if (Position::AZvalue.empty()) return 0.0;
    return (azimuth ? Position::AZtarget : Position::ELtarget) - offset;
}

}  // namespace

StationRotators::StationRotators(Program program, const RotatorTracking::Tracker& rotators,
                                 HamlibTransport::Axes& hamlib, Journal::Journal& journal)
    : program_(std::move(program)), rotators_(rotators), hamlib_(hamlib), journal_(journal) {
    // The position update reads its [Pointing] settings through this source: the source before it
    // (the file's), with a client's direction in place of the target while one is set and the
    // object lives. Objects may come and go in any order (a new program's windows are made before
    // the old ones go), so the source is never taken back, only emptied.
    auto previous = std::make_shared<Position::PointingSource>();
    *previous = Position::SetPointingSource(
        [previous, direction = std::weak_ptr<std::optional<Targets::Target>>(clientDirection_)] {
            PointingSettings::Settings settings = (*previous) ? (*previous)() : PointingSettings::Settings{};
            if (const auto client = direction.lock(); client && *client) settings.target = **client;
            return settings;
        });
}

void StationRotators::ForgetClientDirection() {
    if (!*clientDirection_) return;
    clientDirection_->reset();
    journal_.Add("Server: the antenna follows its own target again");
}

Rotctld::Ranges StationRotators::Limits() const {
    const RotatorSettings::Settings& settings = rotators_.Settings();
    Rotctld::Ranges ranges;
    ranges.maximumAzimuth = settings.azimuthRange;
    ranges.minimumElevation = settings.elevation.minimum;
    ranges.maximumElevation = settings.elevation.maximum.value_or(90);
    return ranges;
}

Rotctld::Bearing StationRotators::Position() const {
    return {AxisPosition(hamlib_, Protocols::Axis::kAzimuth), AxisPosition(hamlib_, Protocols::Axis::kElevation)};
}

bool StationRotators::MayMove(const std::string& client, const char* what) {
    if (!program_.tracking || !program_.tracking()) return true;
    if (commands_ == LinkSettings::Commands::kRefuse) {
        journal_.Add("Server: " + client + " " + what + " refused: Lunark is tracking (Commands=refuse)");
        return false;
    }
    journal_.Add("Server: " + client + " " + what + " ends tracking: \"Cont. track\" unticked");
    if (program_.stopTracking) program_.stopTracking();
    return true;
}

int StationRotators::PointAt(long double azimuth, long double elevation) {
    long double within = std::fmod(azimuth, 360.0L);
    if (within < 0) within += 360.0L;
    *clientDirection_ = Targets::Fixed(within, elevation);
    const bool sent = program_.pointAndSend ? program_.pointAndSend() : false;
    return sent ? Rotctld::kOk : Rotctld::kIoError;
}

int StationRotators::SetPosition(double azimuth, double elevation, const std::string& client) {
    if (!MayMove(client, "set position")) return Rotctld::kRejected;
    return PointAt(azimuth, elevation);
}

int StationRotators::Stop(const std::string& client) {
    if (!MayMove(client, "stop")) return Rotctld::kRejected;
    hamlib_.Stop(Protocols::Axis::kAzimuth);
    hamlib_.Stop(Protocols::Axis::kElevation);
    return Rotctld::kOk;
}

int StationRotators::Park(const std::string& client) {
    if (!MayMove(client, "park")) return Rotctld::kRejected;
    const bool azimuthParked = hamlib_.Park(Protocols::Axis::kAzimuth);
    const bool elevationParked = hamlib_.Park(Protocols::Axis::kElevation);
    if (azimuthParked || elevationParked) return Rotctld::kOk;
    const RotatorSettings::BelowHorizonPolicy& park = rotators_.Settings().belowHorizon;
    if (park.policy != RotatorSettings::BelowHorizon::kPark) return Rotctld::kNotAvailable;
    // The park position is the rotator's own reading: the offsets the send adds are taken off first.
    return PointAt(park.parkAzimuth - Unit3::AZoffset, park.parkElevation - Unit3::ELoffset);
}

std::string StationRotators::Info() const {
    return "Lunark " LUNARK_VERSION;
}

}  // namespace StationLink
