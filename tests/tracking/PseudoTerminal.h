#pragma once

#include <termios.h>

#include <string>

namespace tracking_test {

// A pseudo-terminal standing in for a rotator controller's serial line. The test keeps the
// controller's end (the master) and a descriptor of the line's end (the slave), so the line's
// settings survive between the program's opens; the line starts in a deliberately different
// state (38400 baud, 7 data bits, even parity, 2 stop bits, output processing on).
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The device path of the line end, as a program opens it.
    const std::string& Path() const { return path_; }

    // Everything the controller has received: waits up to two seconds for expectedCount bytes, then
    // takes whatever else has arrived.
    std::string Received(std::size_t expectedCount);

    // The line's current settings, as the program left them.
    termios LineSettings() const;

    // Fills the line's output buffer, as a controller that stopped reading would.
    void StallOutput();

    // Drops whatever the controller has not read.
    void Drain();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Counts open and close of a device file from the moment it is made, by inotify.
class OpenCloseWatch {
public:
    explicit OpenCloseWatch(const std::string& path);
    ~OpenCloseWatch();
    OpenCloseWatch(const OpenCloseWatch&) = delete;
    OpenCloseWatch& operator=(const OpenCloseWatch&) = delete;

    // The events so far, "O" for an open and "C" for a close, in order ("OCOC": two cycles).
    std::string Events();

private:
    int fd_ = -1;
};

}  // namespace tracking_test
