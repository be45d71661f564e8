// SPDX-License-Identifier: GPL-3.0-or-later
#include "Station.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "AxisTransports.h"
#include "CommandText.h"
#include "Journal.h"
#include "Location.h"
#include "Position.h"
#include "SerialTransport.h"
#include "Unit3.h"
#include "Win1252.h"
#include "astro_time.h"
#include "moon.h"

namespace Station {

namespace {

using Protocols::Axis;

constexpr char kNoDevice[] = "no device";

constexpr char kDialoutHint[] =
    "serial lines belong to the group dialout: sudo usermod -aG dialout $USER, then log in again";

// Why a command failed, as the operator reads it.
const char* Reason(SerialPort::SendStatus status) {
    using enum SerialPort::SendStatus;
    switch (status) {
        case kSent:
            return kSentText;
        case kNotFound:
            return "not found";
        case kPermissionDenied:
            return "permission denied";
        case kBusy:
            return "busy, held by another program";
        case kNotATerminal:
            return "not a terminal";
        case kSpeedNotSupported:
            return "line speed not supported";
        case kSettingsRefused:
            return "line settings refused";
        case kStalled:
            return "stalled";
        case kWriteFailed:
            return "write failed";
    }
    return "failed";
}

std::size_t IndexOf(Axis axis) {
    return axis == Axis::kAzimuth ? 0 : 1;
}

const char* AxisName(Axis axis) {
    return axis == Axis::kAzimuth ? "Azimuth" : "Elevation";
}

}  // namespace

void Records::Record(const Rotators::SendOutcome& outcome) {
    const std::string axis = AxisName(outcome.axis);
    if (!outcome.send) {
        journal_.Add(axis + ": " + Rotators::ReselectMessage(outcome.axis) + " (\"" +
                     win1252::ToUtf8(outcome.protocol) + "\" is not a protocol of this axis)");
        return;
    }
    const Rotators::Send& send = *outcome.send;
    LastCommand last{send.command,        Location::Now(),         outcome.result.Sent(),
                     ResultText(outcome), HintFor(outcome.result), {}};
    std::string line = axis + ": " + CommandText::ReadableBytes(send.command) + " (" +
                       CommandText::HexBytes(send.command) + ") on " + send.port + " at " + send.lineSpeed +
                       " baud: " + last.result;
    if (outcome.result.error != 0) line += " [" + std::string(std::strerror(outcome.result.error)) + "]";
    if (!last.hint.empty()) line += "; " + last.hint;
    journal_.Add(std::move(line));
    last_[IndexOf(outcome.axis)] = std::move(last);
}

namespace {

struct SettingName {
    const char* key;
    std::string (*value)();
};
const SettingName kSettings[] = {
    {"Locator", [] { return win1252::ToUtf8(Unit3::Locator); }},
    {"AZ_COM_NR", [] { return std::to_string(Unit3::AZ_COM_NR); }},
    {"EL_COM_NR", [] { return std::to_string(Unit3::EL_COM_NR); }},
    {"AZoffset", [] { return std::to_string(Unit3::AZoffset); }},
    {"ELoffset", [] { return std::to_string(Unit3::ELoffset); }},
    {"AZtype", [] { return win1252::ToUtf8(Unit3::AZtype); }},
    {"ELtype", [] { return win1252::ToUtf8(Unit3::ELtype); }},
    {"TrackInterval", [] { return std::to_string(Unit3::TrackInterval); }},
};
static_assert(std::size(kSettings) == 8);

long double Turn(long double degrees) {
    degrees = std::fmod(degrees, 360.0L);
    return degrees < 0.0L ? degrees + 360.0L : degrees;
}

}  // namespace

Rotators::SendObserver Records::Recorder() {
    return [this](const Rotators::SendOutcome& outcome) { Record(outcome); };
}

std::string ResultText(const Rotators::SendOutcome& outcome) {
    const SerialPort::SendResult& result = outcome.result;
    if (result.Sent()) return kSentText;
    const std::string device = !result.devicePath.empty() ? result.devicePath
                               : outcome.send             ? "no device for " + outcome.send->port
                                                          : std::string(kNoDevice);
    return std::string(Reason(result.status)) + " (" + device + ")";
}

std::string HintFor(const SerialPort::SendResult& result) {
    if (result.status != SerialPort::SendStatus::kPermissionDenied) return {};
    return kDialoutHint;
}

AxisStatus Records::StatusOf(Axis axis) const {
    AxisStatus status;
    const bool azimuth = axis == Axis::kAzimuth;
    status.protocol = win1252::ToUtf8(azimuth ? Unit3::AZtype : Unit3::ELtype);
    status.comNr = azimuth ? Unit3::AZ_COM_NR : Unit3::EL_COM_NR;
    const Protocols::Protocol* protocol = Protocols::FindProtocol(axis, azimuth ? Unit3::AZtype : Unit3::ELtype);
    status.protocolKnown = protocol != nullptr;
    status.sends = protocol != nullptr && protocol->copies > 0;
    status.port = Rotators::PortText(status.comNr);
    status.device = SerialTransport::DevicePathFor(status.port).value_or("");
    if (protocol != nullptr) status.lineSpeed = std::string(protocol->lineSpeed);
    if (!Position::AZvalue.empty()) status.target = azimuth ? Position::AZtarget : Position::ELtarget;
    status.fractionalDegrees = protocol != nullptr && protocol->fractionalDegrees;
    status.last = last_[IndexOf(axis)];
    transports_.For(protocol).Describe(axis, status);
    return status;
}

bool Records::LastSendFailed(Axis axis) const {
    const Protocols::Protocol* protocol =
        Protocols::FindProtocol(axis, axis == Axis::kAzimuth ? Unit3::AZtype : Unit3::ELtype);
    const std::optional<LastCommand>& last = last_[IndexOf(axis)];
    return protocol != nullptr && protocol->UsesComPort() && protocol->copies > 0 && last && !last->sent;
}

bool Records::SendToRotators() {
    NoteSettings();
    return Rotators::SendToRotators(transports_, Recorder());
}

void Records::NoteSettings() {
    std::array<std::string, 8> now;
    for (std::size_t i = 0; i < now.size(); ++i) now[i] = kSettings[i].value();
    std::optional<std::array<std::string, 8>>& noted = notedSettings_;
    if (!noted) {
        std::string all = "Settings:";
        for (std::size_t i = 0; i < now.size(); ++i) {
            all += std::string(i == 0 ? " " : ", ") + kSettings[i].key + " " + now[i];
        }
        journal_.Add(all);
    } else {
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (now[i] != (*noted)[i]) {
                journal_.Add(std::string("Settings: ") + kSettings[i].key + " " + (*noted)[i] + " -> " + now[i]);
            }
        }
    }
    noted = now;
}

void NoteChanges(Journal::Journal& journal, const KeyTexts& before, const KeyTexts& after) {
    const auto shown = [](const std::string& text) { return text.empty() ? std::string("none") : text; };
    for (const auto& [key, text] : after) {
        const auto old = std::find_if(before.begin(), before.end(), [&key](const auto& kt) { return kt.first == key; });
        const std::string oldText = old == before.end() ? std::string() : old->second;
        if (oldText != text) journal.Add("Settings: " + key + " " + shown(oldText) + " -> " + shown(text));
    }
}

TargetStatus TargetNow(const horizon_mask::Mask& mask) {
    TargetStatus status;
    status.at = Location::Now();
    if (!Location::LocatorToLonLat(Unit3::Locator)) return status;
    const double day = Location::DayNumber(status.at);
    const PointingSettings::Settings pointing = Position::Pointing();
    status.target = pointing.target;
    status.latitude = Location::Latitude;
    status.eastLongitude = -Location::Longitude;
    // Behind a horizon mask the target rises and sets where it crosses the mask.
    const auto crossMask = [&] {
        const auto aboveMask = [&](double at) {
            const pointing::Direction seen =
                PointingSettings::Direction(pointing, at, Unit3::Locator, Location::Longitude, Location::Latitude);
            return seen.elevation - mask.ElevationAt(seen.azimuth);
        };
        status.next = moon_rise_set::NextHorizonCrossing(day, aboveMask);
        status.nextAgainstMask = true;
    };
    if (!pointing.precise && status.target.IsBody(pointing::Target::Moon)) {
        moon::MoonCoordinates record{};
        moon::MoonEclipticPosition(record, day);
        moon::MoonHorizontalPosition(day, Location::Longitude, Location::Latitude, status.elevation, status.azimuth);
        status.rightAscension = Turn(record.rightAscension);
        status.declination = record.declination;
        status.distanceKm =
            PointingSettings::Direction(pointing, day, Unit3::Locator, Location::Longitude, Location::Latitude)
                .distanceKm;
        status.next = moon_rise_set::NextHorizonCrossing(day, Location::Longitude, Location::Latitude);
        if (!mask.Empty()) crossMask();
        status.known = true;
        return status;
    }
    // Precise pointing or another target: where the position update points, from the station it points from.
    if (pointing.precise) {
        const pointing::Station station = PointingSettings::PreciseStation(pointing, Unit3::Locator);
        status.latitude = station.latitude;
        status.eastLongitude = station.longitudeEast;
        status.placeAgainstLocator = PointingSettings::PlaceAgainstLocator(pointing, Unit3::Locator);
    }
    const auto direction = [&pointing](double at) {
        return PointingSettings::Direction(pointing, at, Unit3::Locator, Location::Longitude, Location::Latitude);
    };
    const pointing::Direction now = direction(day);
    status.elevation = now.elevation;
    status.azimuth = now.azimuth;
    status.distanceKm = now.distanceKm;
    const double dynamical = astro_time::TerrestrialTime(day);
    if (const std::optional<Targets::SkyPlace> place = Targets::PlaceOf(status.target, dynamical)) {
        status.rightAscension = place->rightAscension;
        status.declination = place->declination;
    }
    status.next = moon_rise_set::NextHorizonCrossing(day, [&direction](double at) { return direction(at).elevation; });
    if (!mask.Empty()) crossMask();
    status.known = true;
    return status;
}

}  // namespace Station
