// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialTransport.h"

#include "IniFile.h"
#include "Messages.h"
#include "Transport.h"
#include "Unit3.h"

namespace SerialTransport {

std::vector<std::string> KeyNames() {
    return {"COM<n>"};
}

std::string PortEntry(const std::string& port) {
    if (Unit3::ExecutablePath.empty()) return {};
    const TIniFile settings(Unit3::SettingsFileFor(Unit3::ExecutablePath));
    return settings.ReadString(kSection, port, "");
}

void WritePortEntry(const std::string& port, const std::string& device) {
    if (Unit3::ExecutablePath.empty() || PortEntry(port) == device) return;
    TIniFile(Unit3::SettingsFileFor(Unit3::ExecutablePath)).WriteString(kSection, port, device);
}

std::optional<std::string> DevicePathFor(const std::string& port) {
    return Transport::DevicePathFor(PortEntry, port);
}

SerialPort::SendResult SendSerial(const std::string& port, std::string_view lineSpeed, std::string_view command) {
    return Transport::SendSerial(PortEntry, port, lineSpeed, command, Messages::ShowMessage);
}

std::vector<SerialPort::SendResult> SendOverSerialLine(const std::string& port, const Protocols::Protocol& protocol,
                                                       const Protocols::Targets& targets) {
    return Transport::SendOverSerialLine(PortEntry, port, protocol, targets, Messages::ShowMessage);
}

}  // namespace SerialTransport
