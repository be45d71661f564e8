// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <termios.h>

#include <string>

namespace tracking_test {

// A pseudo-terminal standing in for a rotator's serial line. The test holds the controller's end
// (master) and one descriptor of the line's end, so the line's settings outlive the program's
// opens; it starts at 38400 baud, 7E2, with output processing, so that every setting must be made.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& Path() const { return path_; }
    // What the controller received: waits up to 2 s for expectedCount bytes, then takes the rest.
    std::string Received(std::size_t expectedCount);
    // What the controller has received so far, without waiting.
    std::string ReceivedNow();
    // The line's settings as the program left them.
    termios LineSettings() const;
    // Fills the line's output buffer, as a controller that stopped reading does.
    void StallOutput();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Open and close events of a device file from now on (inotify): "OCOC" is two complete cycles.
class OpenCloseWatch {
public:
    explicit OpenCloseWatch(const std::string& path);
    ~OpenCloseWatch();
    OpenCloseWatch(const OpenCloseWatch&) = delete;
    OpenCloseWatch& operator=(const OpenCloseWatch&) = delete;
    std::string Events();

private:
    int fd_ = -1;
};

}  // namespace tracking_test
