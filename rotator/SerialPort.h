// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// One command to one device over a serial line: open the device, take it exclusively, set the
// line, write, close. Nothing stays open between commands and nothing is read back. This layer
// knows devices only: which device a port means, and what the operator is told, is the caller's.
namespace SerialPort {

// What became of one command.
enum class SendStatus {
    kSent,               // every byte went out
    kNotFound,           // no device at the path, or nothing behind it
    kPermissionDenied,   // the device may not be opened for writing by this user
    kBusy,               // another program holds the line (its lock or its exclusive mode)
    kNotATerminal,       // the path is a file or folder, not a serial line
    kSpeedNotSupported,  // the speed text is not a speed, or the driver keeps another
    kSettingsRefused,    // the driver refused raw 8-N-1
    kStalled,            // the line did not take every byte within the write limit
    kWriteFailed,        // the line failed while writing (hung up, input/output error)
};

struct SendResult {
    SendStatus status = SendStatus::kSent;
    int error = 0;           // errno of the system call that failed; 0 when none did
    std::string devicePath;  // the device the command was meant for

    bool Sent() const { return status == SendStatus::kSent; }
};

// The longest one command's write may take before the line counts as stalled.
inline constexpr int kWriteLimitMs = 1000;

// Writes command whole to the terminal at devicePath at lineSpeed (decimal baud text, "9600"),
// 8 data bits, no parity, 1 stop bit, no flow control, taking the line exclusively. The write gives
// up after kWriteLimitMs. The device is always closed before returning.
SendResult SendCommand(const std::string& devicePath, std::string_view lineSpeed, std::string_view command);

}  // namespace SerialPort
