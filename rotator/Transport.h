// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Protocols.h"
#include "SerialPort.h"

// How an axis's targets reach its controller. A transport is handed the port, the axis's protocol
// row and the targets, so one that drives positions rather than bytes (a rotator daemon) takes the
// targets where the serial line takes the row's command bytes. This layer reads no settings and
// shows nothing itself: the ports' own devices and the way to tell the operator are handed in.
namespace Transport {

// The [Ports] entries of the program's settings: the device an entry "COMn=/dev/..." gives the
// port, empty when there is none. Asked at each call, so that a hand edit takes effect at once;
// an empty function stands for no entries.
using PortEntries = std::function<std::string(const std::string& port)>;

// Tells the operator one message (Windows-1252 bytes) and returns when it has been seen; an empty
// function tells nobody.
using ShowMessage = std::function<void(const std::string& win1252Text)>;

// The device behind a port text "COMn": the port's entry in ports wins; otherwise COM1-COM32 are
// /dev/ttyS0-31, COM33-COM64 /dev/ttyUSB0-31 and COM65-COM96 /dev/ttyACM0-31. nullopt when neither
// gives a device.
std::optional<std::string> DevicePathFor(const PortEntries& ports, const std::string& port);

// One command on the line of port ("COM1") at lineSpeed ("9600"), in one open-write-close cycle.
// Any failure, a port without a device included, shows "Comms error - <port>" through show once,
// after the line is closed.
SerialPort::SendResult SendSerial(const PortEntries& ports, const std::string& port, std::string_view lineSpeed,
                                  std::string_view command, const ShowMessage& show);

// The serial line: the protocol's command for the targets, sent protocol.copies times on port,
// each copy its own cycle; a failed copy does not stop the next. One result per copy.
std::vector<SerialPort::SendResult> SendOverSerialLine(const PortEntries& ports, const std::string& port,
                                                       const Protocols::Protocol& protocol,
                                                       const Protocols::Targets& targets, const ShowMessage& show);

}  // namespace Transport
