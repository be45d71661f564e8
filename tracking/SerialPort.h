#pragma once

#include <optional>
#include <string>

// One command to one rotator controller over a serial line: open the port, set the line, write,
// close. Nothing stays open between commands and nothing is read back.
namespace SerialPort {

// The device behind a port text "COMn": an entry "COMn=/dev/..." under [Ports] in the
// program's settings file (Unit3::SettingsFileFor(Unit3::ExecutablePath)) wins; otherwise COM1-COM32
// are /dev/ttyS0-31, COM33-COM64 /dev/ttyUSB0-31 and COM65-COM96 /dev/ttyACM0-31. nullopt when
// neither gives a device.
std::optional<std::string> DevicePathFor(const std::string& port);

// Writes the command bytes whole to the device of port ("COM1") at lineSpeed (decimal baud text,
// "9600"), 8 data bits, no parity, 1 stop bit, no flow control, taking the line exclusively. The
// write gives up after one second. Any failure shows "Comms error - <port>" through
// Messages::ShowMessage once and gives false; the device is always closed before returning.
bool SendSerial(std::string port, std::string lineSpeed, std::string command);

}  // namespace SerialPort
