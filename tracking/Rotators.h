// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Protocols.h"
#include "RotatorSettings.h"
#include "SerialPort.h"

// Pointing the rotators: each axis's protocol and port from the settings, the targets from the
// latest position update, handed to the transport that reaches the controller.
namespace AxisTransports {
class Transports;
}

namespace Rotators {

// The port text of a port number: "COM" and the number in decimal.
std::string PortText(int32_t comNr);

// One open-write-close of a port.
struct Send {
    std::string port;       // "COM" and the port number
    std::string lineSpeed;  // "4800", "9600"
    std::string command;    // bytes as they go on the line
};

// The sends of one axis for a protocol name, port number and the targets, copies included, on a
// rotator turning through `azimuthRange` degrees ([Rotator] AzimuthRange); empty for "none" and
// "Hamlib"; nullopt when the name is not a protocol of that axis.
std::optional<std::vector<Send>> CommandsFor(Protocols::Axis axis, std::string_view protocolName, int32_t comNr,
                                             const Protocols::Targets& targets, int32_t azimuthRange);

// The message shown when an axis's protocol name is not in the list.
const char* ReselectMessage(Protocols::Axis axis);

// What became of one command, or of an axis whose protocol name is not in the list.
struct SendOutcome {
    Protocols::Axis axis;
    std::string protocol;      // the name as set
    std::optional<Send> send;  // nullopt: the name is not a protocol of the axis, nothing was sent
    SerialPort::SendResult result;
};
using SendObserver = std::function<void(const SendOutcome&)>;

// Which axes had every command go out whole (an axis not asked for is false).
struct AxesSent {
    bool azimuth = false;
    bool elevation = false;
};

// As SendToRotators, for the axes marked true only.
AxesSent SendAxes(const AxisTransports::Transports& transports, bool azimuth, bool elevation, int32_t azimuthRange,
                  const SendObserver& observer = {});

// Sends Position::AZtarget and ELtarget to the azimuth rotator (Unit3::AZtype on COM
// Unit3::AZ_COM_NR), then to the elevation rotator (Unit3::ELtype on EL_COM_NR). A protocol name
// not in the list shows the axis's message and sends nothing on that axis; a failed send does not
// stop the others. Each axis goes through the transport of its protocol row (AxisTransports); a
// Hamlib rotator's results come later.
// Nothing is sent while no position is known (Position::AZvalue empty). True when every serial
// command went out whole. observer, when given, hears of every serial command once it is done,
// and of each name not in the list. azimuthRange: the [Rotator] AzimuthRange in force (with an
// overlap, the controllers that take no azimuth above 359 are sent it within 0-359).
bool SendToRotators(const AxisTransports::Transports& transports, const SendObserver& observer = {},
                    int32_t azimuthRange = RotatorSettings::kStopAtNorth);

}  // namespace Rotators
