// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Protocols.h"
#include "SerialPort.h"

// The serial line as the program uses it (Transport.h): a port's device from the [Ports] section of
// the program's settings file, failures told through Messages::ShowMessage.
namespace SerialTransport {

// The section's key: one per port, "COM" and its number (COM3=/dev/serial/by-id/...).
inline constexpr char kSection[] = "Ports";
std::vector<std::string> KeyNames();

// The [Ports] entry for port in the settings file (Unit3::SettingsFileFor(Unit3::ExecutablePath)),
// read at each call; empty when there is none or no settings file is known.
std::string PortEntry(const std::string& port);

// Maps port to device in [Ports] (COM40=/dev/serial/by-id/...), writing only when the entry changes
// and keeping every other byte of the file. Raises EIniWriteError.
void WritePortEntry(const std::string& port, const std::string& device);

// The device behind port (Transport::DevicePathFor) with the settings file's entries.
std::optional<std::string> DevicePathFor(const std::string& port);

// One command on port's line (Transport::SendSerial) with the settings file's entries.
SerialPort::SendResult SendSerial(const std::string& port, std::string_view lineSpeed, std::string_view command);

// The protocol's copies for the targets on port's line (Transport::SendOverSerialLine) with the
// settings file's entries.
std::vector<SerialPort::SendResult> SendOverSerialLine(const std::string& port, const Protocols::Protocol& protocol,
                                                       const Protocols::Targets& targets);

}  // namespace SerialTransport
