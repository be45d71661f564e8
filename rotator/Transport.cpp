// SPDX-License-Identifier: GPL-3.0-or-later
#include "Transport.h"

#include <charconv>

namespace Transport {

namespace {

constexpr char kCommsError[] = "Comms error - ";
constexpr std::string_view kPortPrefix = "COM";

struct DeviceRange {
    int firstPort;
    int lastPort;
    const char* deviceStem;  // device of firstPort is stem + "0"
};
// Built-in UARTs, then USB serial adapters, then USB modems (CDC-ACM), 32 of each.
constexpr DeviceRange kDefaultDevices[] = {
    {1, 32, "/dev/ttyS"},
    {33, 64, "/dev/ttyUSB"},
    {65, 96, "/dev/ttyACM"},
};
static_assert(std::size(kDefaultDevices) == 3);

std::optional<int> PortNumber(std::string_view port) {
    if (port.substr(0, kPortPrefix.size()) != kPortPrefix) return std::nullopt;
    const std::string_view digits = port.substr(kPortPrefix.size());
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return number;
}

}  // namespace

std::optional<std::string> DevicePathFor(const PortEntries& ports, const std::string& port) {
    if (ports) {
        if (std::string mapped = ports(port); !mapped.empty()) return mapped;
    }
    const std::optional<int> number = PortNumber(port);
    if (!number) return std::nullopt;
    for (const DeviceRange& range : kDefaultDevices) {
        if (*number >= range.firstPort && *number <= range.lastPort) {
            return range.deviceStem + std::to_string(*number - range.firstPort);
        }
    }
    return std::nullopt;
}

SerialPort::SendResult SendSerial(const PortEntries& ports, const std::string& port, std::string_view lineSpeed,
                                  std::string_view command, const ShowMessage& show) {
    const std::optional<std::string> device = DevicePathFor(ports, port);
    const SerialPort::SendResult result =
        device ? SerialPort::SendCommand(*device, lineSpeed, command)
               : SerialPort::SendResult{SerialPort::SendStatus::kNotFound, 0, std::string()};
    // The line is closed by now, whatever happened: the operator may take time over the message.
    if (!result.Sent() && show) show(kCommsError + port);
    return result;
}

std::vector<SerialPort::SendResult> SendOverSerialLine(const PortEntries& ports, const std::string& port,
                                                       const Protocols::Protocol& protocol,
                                                       const Protocols::Targets& targets, const ShowMessage& show) {
    const std::string command = protocol.Command(targets);
    std::vector<SerialPort::SendResult> results;
    for (int copy = 0; copy < protocol.copies; ++copy) {
        results.push_back(SendSerial(ports, port, protocol.lineSpeed, command, show));
    }
    return results;
}

}  // namespace Transport
