// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string_view>

namespace SerialPort {

namespace {

constexpr auto kWriteLimit = std::chrono::milliseconds(kWriteLimitMs);

struct LineSpeed {
    std::string_view text;
    speed_t code;
};
constexpr LineSpeed kLineSpeeds[] = {
    {"110", B110},   {"300", B300},     {"600", B600},     {"1200", B1200},   {"2400", B2400},     {"4800", B4800},
    {"9600", B9600}, {"19200", B19200}, {"38400", B38400}, {"57600", B57600}, {"115200", B115200},
};
static_assert(std::size(kLineSpeeds) == 11);

std::optional<speed_t> SpeedCode(std::string_view text) {
    for (const LineSpeed& speed : kLineSpeeds) {
        if (speed.text == text) return speed.code;
    }
    return std::nullopt;
}

// Why open() refused the device.
SendStatus OpenFailure(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return SendStatus::kPermissionDenied;
        case EBUSY:  // another program's exclusive mode
            return SendStatus::kBusy;
        case EISDIR:
            return SendStatus::kNotATerminal;
        default:  // ENOENT, ENODEV, ENXIO; EIO from a port node without its hardware
            return SendStatus::kNotFound;
    }
}

// An open line: closes itself, and gives the exclusive mode back first, so that the next command's
// open (ours or another program's) is not refused by a flag we left behind. Each step gives the
// status it failed with, kSent when it succeeded; errno then still holds the cause.
class OpenLine {
public:
    explicit OpenLine(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~OpenLine() {
        if (fd_ < 0) return;
        const int savedErrno = errno;  // the caller still reads the cause of a failure
        if (exclusive_) ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        errno = savedErrno;
    }
    OpenLine(const OpenLine&) = delete;
    OpenLine& operator=(const OpenLine&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // Another program holding the line (its lock or its exclusive mode) makes this fail; so does
    // a file that is not a terminal.
    SendStatus TakeExclusively() {
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return SendStatus::kBusy;
        if (::ioctl(fd_, TIOCEXCL) != 0) {
            return errno == ENOTTY ? SendStatus::kNotATerminal : SendStatus::kSettingsRefused;
        }
        exclusive_ = true;
        return SendStatus::kSent;
    }

    // Raw bytes, 8 data bits, no parity, 1 stop bit, receiver on, modem lines ignored, no flow
    // control of either kind; the speed is read back because a driver may quietly keep its own.
    SendStatus Configure(speed_t speed) {
        termios line{};
        if (::tcgetattr(fd_, &line) != 0) {
            return errno == ENOTTY ? SendStatus::kNotATerminal : SendStatus::kSettingsRefused;
        }
        ::cfmakeraw(&line);
        line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        line.c_cflag |= CS8 | CLOCAL | CREAD;
        line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        if (::cfsetispeed(&line, speed) != 0 || ::cfsetospeed(&line, speed) != 0) {
            return SendStatus::kSpeedNotSupported;
        }
        if (::tcsetattr(fd_, TCSANOW, &line) != 0) return SendStatus::kSettingsRefused;
        termios applied{};
        if (::tcgetattr(fd_, &applied) != 0) return SendStatus::kSettingsRefused;
        errno = 0;
        if (::cfgetospeed(&applied) != speed) return SendStatus::kSpeedNotSupported;
        if ((applied.c_cflag & CSIZE) != CS8 || (applied.c_cflag & (PARENB | CSTOPB)) != 0) {
            return SendStatus::kSettingsRefused;
        }
        return SendStatus::kSent;
    }

    // The whole command or failure: a line that does not take every byte within the limit (a
    // stalled controller, a full buffer) is an error the operator must see, not a silent success.
    SendStatus WriteAll(std::string_view bytes) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + kWriteLimit;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return SendStatus::kWriteFailed;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return errno = 0, SendStatus::kStalled;
            pollfd waiting{fd_, POLLOUT, 0};
            const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR) return SendStatus::kWriteFailed;
            if (ready > 0 && (waiting.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                return errno = 0, SendStatus::kWriteFailed;
            }
        }
        return SendStatus::kSent;
    }

private:
    int fd_;
    bool exclusive_ = false;
};

SendStatus Deliver(const std::string& devicePath, std::string_view lineSpeed, std::string_view command) {
    OpenLine line(devicePath);
    if (!line.IsOpen()) return OpenFailure(errno);
    if (const SendStatus status = line.TakeExclusively(); status != SendStatus::kSent) return status;
    const std::optional<speed_t> speed = SpeedCode(lineSpeed);
    if (!speed) return errno = 0, SendStatus::kSpeedNotSupported;
    if (const SendStatus status = line.Configure(*speed); status != SendStatus::kSent) return status;
    return line.WriteAll(command);
}

}  // namespace

SendResult SendCommand(const std::string& devicePath, std::string_view lineSpeed, std::string_view command) {
    errno = 0;
    const SendStatus status = Deliver(devicePath, lineSpeed, command);
    return SendResult{status, status == SendStatus::kSent ? 0 : errno, devicePath};
}

}  // namespace SerialPort
