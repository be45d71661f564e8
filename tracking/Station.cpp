#include "Station.h"

#include <array>
#include <cmath>

#include "Journal.h"
#include "Location.h"
#include "Position.h"
#include "CommandText.h"
#include "SerialPort.h"
#include "Unit3.h"
#include "Win1252.h"
#include "moon.h"

namespace Station {

namespace {

using Rotators::Axis;

constexpr char kNoDevice[] = "no device";

struct State {
    std::array<std::optional<LastCommand>, 2> last;
    std::optional<std::array<std::string, 8>> notedSettings;
};

State& Current() {
    static State state;
    return state;
}

std::size_t IndexOf(Axis axis) { return axis == Axis::kAzimuth ? 0 : 1; }

const char* AxisName(Axis axis) { return axis == Axis::kAzimuth ? "Azimuth" : "Elevation"; }

}  // namespace

void RecordOutcome(const Rotators::SendOutcome& outcome) {
    const std::string axis = AxisName(outcome.axis);
    if (!outcome.send) {
        Journal::Add(axis + ": " + Rotators::ReselectMessage(outcome.axis) + " (\"" +
                     win1252::ToUtf8(outcome.protocol) + "\" is not a protocol of this axis)");
        return;
    }
    const Rotators::Send& send = *outcome.send;
    LastCommand last{send.command, Location::Now(), outcome.delivered, ResultText(outcome), HintFor(outcome)};
    Journal::Add(axis + ": " + CommandText::ReadableBytes(send.command) + " (" +
                 CommandText::HexBytes(send.command) + ") on " + send.port + " (" +
                 (outcome.device.empty() ? kNoDevice : outcome.device) + ") at " + send.lineSpeed + " baud: " +
                 last.result + (last.hint.empty() ? "" : "; " + last.hint));
    Current().last[IndexOf(outcome.axis)] = std::move(last);
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

std::string ResultText(const Rotators::SendOutcome& outcome) {
    if (outcome.delivered) return kSentText;
    return std::string("failed") + " (" + (outcome.device.empty() ? kNoDevice : outcome.device) + ")";
}

std::string HintFor(const Rotators::SendOutcome&) { return {}; }

AxisStatus StatusOf(Axis axis) {
    AxisStatus status;
    const bool azimuth = axis == Axis::kAzimuth;
    status.protocol = win1252::ToUtf8(azimuth ? Unit3::AZtype : Unit3::ELtype);
    status.comNr = azimuth ? Unit3::AZ_COM_NR : Unit3::EL_COM_NR;
    const Rotators::Protocol* protocol = Rotators::FindProtocol(axis, azimuth ? Unit3::AZtype : Unit3::ELtype);
    status.protocolKnown = protocol != nullptr;
    status.sends = protocol != nullptr && protocol->copies > 0;
    status.port = "COM" + std::to_string(status.comNr);
    status.device = SerialPort::DevicePathFor(status.port).value_or("");
    if (protocol != nullptr) status.lineSpeed = std::string(protocol->lineSpeed);
    if (!Position::AZvalue.empty()) status.target = azimuth ? Position::AZtarget : Position::ELtarget;
    status.last = Current().last[IndexOf(axis)];
    return status;
}

bool SendToRotators() {
    NoteSettings();
    return Rotators::SendToRotators(RecordOutcome);
}

void NoteSettings() {
    std::array<std::string, 8> now;
    for (std::size_t i = 0; i < now.size(); ++i) now[i] = kSettings[i].value();
    std::optional<std::array<std::string, 8>>& noted = Current().notedSettings;
    if (!noted) {
        std::string all = "Settings:";
        for (std::size_t i = 0; i < now.size(); ++i) {
            all += std::string(i == 0 ? " " : ", ") + kSettings[i].key + " " + now[i];
        }
        Journal::Add(all);
    } else {
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (now[i] != (*noted)[i]) {
                Journal::Add(std::string("Settings: ") + kSettings[i].key + " " + (*noted)[i] + " -> " + now[i]);
            }
        }
    }
    noted = now;
}

MoonStatus MoonNow() {
    MoonStatus status;
    status.at = Location::Now();
    if (!Location::LocatorToLonLat(Unit3::Locator)) return status;
    const double day = Location::DayNumber(status.at);
    status.latitude = Location::Latitude;
    status.eastLongitude = -Location::Longitude;
    moon::MoonCoordinates record{};
    moon::MoonEclipticPosition(record, day);
    moon::MoonHorizontalPosition(day, Location::Longitude, Location::Latitude, status.elevation, status.azimuth);
    status.rightAscension = Turn(record.rightAscension);
    status.declination = record.declination;
    status.distanceKm = record.distance;
    status.next = moon_rise_set::NextHorizonCrossing(day, Location::Longitude, Location::Latitude);
    status.known = true;
    return status;
}

void Reset() {
    Current() = State{};
}

}  // namespace Station
