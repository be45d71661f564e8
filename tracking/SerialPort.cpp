#include "SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <string_view>

#include "IniFile.h"
#include "Messages.h"
#include "Unit3.h"

namespace SerialPort {

namespace {

constexpr char kCommsError[] = "Comms error - ";
constexpr char kPortsSection[] = "Ports";
constexpr std::string_view kPortPrefix = "COM";
constexpr auto kWriteLimit = std::chrono::milliseconds(1000);

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

struct LineSpeed {
    std::string_view text;
    speed_t code;
};
constexpr LineSpeed kLineSpeeds[] = {
    {"110", B110},     {"300", B300},     {"600", B600},       {"1200", B1200},
    {"2400", B2400},   {"4800", B4800},   {"9600", B9600},     {"19200", B19200},
    {"38400", B38400}, {"57600", B57600}, {"115200", B115200},
};
static_assert(std::size(kLineSpeeds) == 11);

std::optional<speed_t> SpeedCode(std::string_view text) {
    for (const LineSpeed& speed : kLineSpeeds) {
        if (speed.text == text) return speed.code;
    }
    return std::nullopt;
}

std::optional<int> PortNumber(std::string_view port) {
    if (port.substr(0, kPortPrefix.size()) != kPortPrefix) return std::nullopt;
    const std::string_view digits = port.substr(kPortPrefix.size());
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return number;
}

// An open line: closes itself, and gives the exclusive mode back first, so that the next command's
// open (ours or another program's) is not refused by a flag we left behind.
class OpenLine {
public:
    explicit OpenLine(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~OpenLine() {
        if (fd_ < 0) return;
        if (exclusive_) ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    OpenLine(const OpenLine&) = delete;
    OpenLine& operator=(const OpenLine&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // Another program holding the line (its lock or its exclusive mode) makes this fail; so does
    // a file that is not a terminal.
    bool TakeExclusively() {
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return false;
        if (::ioctl(fd_, TIOCEXCL) != 0) return false;
        exclusive_ = true;
        return true;
    }

    // Raw bytes, 8 data bits, no parity, 1 stop bit, receiver on, modem lines ignored, no flow
    // control of either kind; the speed is read back because a driver may quietly keep its own.
    bool Configure(speed_t speed) {
        termios line{};
        if (::tcgetattr(fd_, &line) != 0) return false;
        ::cfmakeraw(&line);
        line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        line.c_cflag |= CS8 | CLOCAL | CREAD;
        line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        if (::cfsetispeed(&line, speed) != 0 || ::cfsetospeed(&line, speed) != 0) return false;
        if (::tcsetattr(fd_, TCSANOW, &line) != 0) return false;
        termios applied{};
        if (::tcgetattr(fd_, &applied) != 0) return false;
        return ::cfgetospeed(&applied) == speed && (applied.c_cflag & CSIZE) == CS8 &&
               (applied.c_cflag & (PARENB | CSTOPB)) == 0;
    }

    // The whole command or failure: a line that does not take every byte within the limit (a
    // stalled controller, a full buffer) is an error the operator must see, not a silent success.
    bool WriteAll(const std::string& bytes) {
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
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd waiting{fd_, POLLOUT, 0};
            const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR) return false;
            if (ready > 0 && (waiting.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
        }
        return true;
    }

private:
    int fd_;
    bool exclusive_ = false;
};

bool Deliver(const std::string& port, const std::string& lineSpeed, const std::string& command) {
    const std::optional<std::string> device = DevicePathFor(port);
    if (!device) return false;
    const std::optional<speed_t> speed = SpeedCode(lineSpeed);
    OpenLine line(*device);
    return line.IsOpen() && line.TakeExclusively() && speed && line.Configure(*speed) &&
           line.WriteAll(command);
}

}  // namespace

std::optional<std::string> DevicePathFor(const std::string& port) {
    if (!Unit3::ExecutablePath.empty()) {
        const TIniFile settings(Unit3::SettingsFileFor(Unit3::ExecutablePath));
        std::string mapped = settings.ReadString(kPortsSection, port, "");
        if (!mapped.empty()) return mapped;
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

bool SendSerial(std::string port, std::string lineSpeed, std::string command) {
    const bool delivered = Deliver(port, lineSpeed, command);
    // The line is closed by now, whatever happened: the operator may take time over the message.
    if (!delivered) Messages::ShowMessage(kCommsError + port);
    return delivered;
}

}  // namespace SerialPort
