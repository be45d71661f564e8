// SPDX-License-Identifier: GPL-3.0-or-later
#include "Protocols.h"

namespace Protocols {

namespace {

using enum Axis;
using enum TransportKind;

constexpr std::size_t kCommandValueWidth = 3;

// STX (0x02, written "\002") starts a Prosistel command, CR (0x0D) ends most commands. The
// Prosistel controllers get every command twice. Of the serial controllers only the GS-232A turns
// on past north.
constexpr Protocol kProtocols[] = {
    {"Hy-Gain DCU-1", kAzimuth, "4800", "AP1", false, ";AM1;", 1, kSerialLine, kOneTurnAzimuth, false},
    {"Prosistel-D", kAzimuth, "9600", "\002AG", false, "\r\r", 2, kSerialLine, kOneTurnAzimuth, false},
    {"M\xB2 RC2800", kAzimuth, "9600", "A", false, "\r", 1, kSerialLine, kOneTurnAzimuth, false},
    {"YAESU GS-232A 9600bd", kAzimuth, "9600", "M", false, "\r", 1, kSerialLine, kOverlapAzimuth, false},
    {Protocols::kHamlib, kAzimuth, "", "", false, "", 0, kHamlib, kOverlapAzimuth, true},
    {kNoRotator, kAzimuth, "", "", false, "", 0, kNone, kOneTurnAzimuth, false},
    {"Prosistel-D", kElevation, "9600", "\002AG", false, "\r\r", 2, kSerialLine, kOneTurnAzimuth, false},
    {"Prosistel-D combined", kElevation, "9600", "\002EG", false, "\r\r", 2, kSerialLine, kOneTurnAzimuth, false},
    {"M\xB2 RC2800", kElevation, "9600", "E", false, "\r", 1, kSerialLine, kOneTurnAzimuth, false},
    {"YAESU GS-232A 9600bd", kElevation, "9600", "W", true, "\r", 1, kSerialLine, kOverlapAzimuth, false},
    {Protocols::kHamlib, kElevation, "", "", false, "", 0, kHamlib, kOverlapAzimuth, true},
    {kNoRotator, kElevation, "", "", false, "", 0, kNone, kOneTurnAzimuth, false},
};
static_assert(std::size(kProtocols) == 12);

}  // namespace

std::string CommandValue(int32_t degrees) {
    std::string text = std::to_string(degrees);
    while (text.size() < kCommandValueWidth) text.insert(0, 1, '0');
    return text;
}

std::string Protocol::Command(const Targets& targets) const {
    std::string command(head);
    if (carriesAzimuth) command += CommandValue(targets.azimuth) + ' ';
    command += CommandValue(axis == kAzimuth ? targets.azimuth : targets.elevation);
    command += tail;
    return command;
}

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

bool GoesOver(Axis axis, std::string_view name, TransportKind transport) {
    const Protocol* protocol = FindProtocol(axis, name);
    return protocol != nullptr && protocol->transport == transport;
}

}  // namespace Protocols
