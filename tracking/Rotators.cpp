#include "Rotators.h"

#include "Messages.h"
#include "Position.h"
#include "SerialPort.h"
#include "Unit3.h"

namespace Rotators {

namespace {

using enum Axis;

// STX (0x02, written "\002") starts a Prosistel command, CR (0x0D) ends most commands. The
// Prosistel controllers get every command twice.
constexpr Protocol kProtocols[] = {
    {"Hy-Gain DCU-1", kAzimuth, "4800", "AP1", false, ";AM1;", 1},
    {"Prosistel-D", kAzimuth, "9600", "\002AG", false, "\r\r", 2},
    {"M\xB2 RC2800", kAzimuth, "9600", "A", false, "\r", 1},
    {"YAESU GS-232A 9600bd", kAzimuth, "9600", "M", false, "\r", 1},
    {kNoRotator, kAzimuth, "", "", false, "", 0},
    {"Prosistel-D", kElevation, "9600", "\002AG", false, "\r\r", 2},
    {"Prosistel-D combined", kElevation, "9600", "\002EG", false, "\r\r", 2},
    {"M\xB2 RC2800", kElevation, "9600", "E", false, "\r", 1},
    {"YAESU GS-232A 9600bd", kElevation, "9600", "W", true, "\r", 1},
    {kNoRotator, kElevation, "", "", false, "", 0},
};
static_assert(std::size(kProtocols) == 10);

constexpr char kPortPrefix[] = "COM";
constexpr char kReselectAzimuth[] = "Please reselect Azimuth protocol in Setup";
constexpr char kReselectElevation[] = "Please reselect Elevation protocol in Setup";

// Sends one axis; false when its name is unknown or a send failed.
bool SendAxis(Axis axis, const std::string& protocolName, int32_t comNr) {
    const auto sends = CommandsFor(axis, protocolName, comNr, Position::AZvalue, Position::ELvalue);
    if (!sends) {
        Messages::ShowMessage(ReselectMessage(axis));
        return false;
    }
    bool allWritten = true;
    for (const Send& send : *sends) {
        allWritten = SerialPort::SendSerial(send.port, send.lineSpeed, send.command) && allWritten;
    }
    return allWritten;
}

}  // namespace

std::vector<const Protocol*> ProtocolsOf(Axis axis) {
    std::vector<const Protocol*> protocols;
    for (const Protocol& protocol : kProtocols) {
        if (protocol.axis == axis) protocols.push_back(&protocol);
    }
    return protocols;
}

const Protocol* FindProtocol(Axis axis, std::string_view name) {
    for (const Protocol& protocol : kProtocols) {
        if (protocol.axis == axis && protocol.name == name) return &protocol;
    }
    return nullptr;
}

std::optional<std::vector<Send>> CommandsFor(Axis axis, std::string_view protocolName, int32_t comNr,
                                             const std::string& azValue, const std::string& elValue) {
    const Protocol* protocol = FindProtocol(axis, protocolName);
    if (protocol == nullptr) return std::nullopt;
    std::string command(protocol->head);
    if (protocol->carriesAzimuth) command += azValue + ' ';
    command += axis == kAzimuth ? azValue : elValue;
    command += protocol->tail;
    const Send send{kPortPrefix + std::to_string(comNr), std::string(protocol->lineSpeed), command};
    return std::vector<Send>(static_cast<std::size_t>(protocol->copies), send);
}

const char* ReselectMessage(Axis axis) {
    return axis == kAzimuth ? kReselectAzimuth : kReselectElevation;
}

bool SendToRotators() {
    if (Position::AZvalue.empty() || Position::ELvalue.empty()) return false;
    const bool azimuthSent = SendAxis(kAzimuth, Unit3::AZtype, Unit3::AZ_COM_NR);
    const bool elevationSent = SendAxis(kElevation, Unit3::ELtype, Unit3::EL_COM_NR);
    return azimuthSent && elevationSent;
}

}  // namespace Rotators
