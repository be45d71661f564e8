// SPDX-License-Identifier: GPL-3.0-or-later
#include "Protocols.h"

#include "Position.h"

namespace Protocols {

namespace {

using enum Axis;

// STX (0x02, written "\002") starts a Prosistel command, CR (0x0D) ends most commands. The
// Prosistel controllers get every command twice.
constexpr Protocol kProtocols[] = {
    {"Hy-Gain DCU-1", kAzimuth, "4800", "AP1", false, ";AM1;", 1},
    {"Prosistel-D", kAzimuth, "9600", "\002AG", false, "\r\r", 2},
    {"M\xB2 RC2800", kAzimuth, "9600", "A", false, "\r", 1},
    {"YAESU GS-232A 9600bd", kAzimuth, "9600", "M", false, "\r", 1},
    {kHamlib, kAzimuth, "", "", false, "", 0},
    {kNoRotator, kAzimuth, "", "", false, "", 0},
    {"Prosistel-D", kElevation, "9600", "\002AG", false, "\r\r", 2},
    {"Prosistel-D combined", kElevation, "9600", "\002EG", false, "\r\r", 2},
    {"M\xB2 RC2800", kElevation, "9600", "E", false, "\r", 1},
    {"YAESU GS-232A 9600bd", kElevation, "9600", "W", true, "\r", 1},
    {kHamlib, kElevation, "", "", false, "", 0},
    {kNoRotator, kElevation, "", "", false, "", 0},
};
static_assert(std::size(kProtocols) == 12);

}  // namespace

std::string Protocol::Command(const Targets& targets) const {
    std::string command(head);
    if (carriesAzimuth) command += Position::CommandValue(targets.azimuth) + ' ';
    command += Position::CommandValue(axis == kAzimuth ? targets.azimuth : targets.elevation);
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

}  // namespace Protocols
