// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// The serial adapters plugged in now, by the names udev gives them: a link in /dev/serial/by-id/
// (the adapter's make and serial number, the same whichever socket it is in) and in
// /dev/serial/by-path/ (the socket), both pointing at the kernel's name of the moment
// (/dev/ttyUSB0), which a replug may change.
namespace SerialDevices {

// /dev/serial/by-id, or the folder the environment variable LUNARK_SERIAL_BY_ID_DIR names.
std::string ByIdFolder();
// The by-path folder beside it.
std::string ByPathFolder();

struct Device {
    std::string byId;                 // the link in ByIdFolder(), a full path
    std::vector<std::string> byPath;  // the links in ByPathFolder() to the same device
    std::string kernel;               // where they point now: "/dev/ttyUSB0"
    bool operator==(const Device&) const = default;
};

// The devices of the by-id folder, by name; none when it does not exist. A link pointing nowhere
// (the adapter pulled while the link stayed) is left out.
std::vector<Device> List();

// Whether a device path names nothing now (a dangling link included).
bool Absent(const std::string& path);

// "COM40: /dev/serial/by-id/usb-FTDI_A1 (now /dev/ttyUSB1)", "... (absent)" or "COM40: no device".
std::string PortText(const std::string& port, const std::string& device);

}  // namespace SerialDevices
