// SPDX-License-Identifier: GPL-3.0-or-later
#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "TimeScale.h"

namespace tracking_test {

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    path_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    termios line{};
    ::tcgetattr(slave_, &line);
    line.c_cflag = (line.c_cflag & ~static_cast<tcflag_t>(CSIZE | CLOCAL)) | CS7 | PARENB | CSTOPB;
    line.c_oflag |= OPOST | OCRNL;
    line.c_iflag |= IXON;
    ::cfsetspeed(&line, B38400);
    ::tcsetattr(slave_, TCSANOW, &line);
}

PseudoTerminal::~PseudoTerminal() {
    ::close(slave_);
    ::close(master_);
}

std::string PseudoTerminal::Received(std::size_t expectedCount) {
    using namespace std::chrono_literals;
    std::string bytes;
    for (;;) {
        pollfd ready{master_, POLLIN, 0};
        const auto wait = bytes.size() >= expectedCount ? 50ms : test_support::Scaled(2000ms);
        if (::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) return bytes;
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string PseudoTerminal::ReceivedNow() {
    std::string bytes;
    for (;;) {
        pollfd ready{master_, POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0) return bytes;
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

termios PseudoTerminal::LineSettings() const {
    termios line{};
    ::tcgetattr(master_, &line);  // on a master this reads the line end's settings
    return line;
}

void PseudoTerminal::StallOutput() {
    termios line{};
    ::tcgetattr(slave_, &line);
    ::cfmakeraw(&line);
    ::tcsetattr(slave_, TCSANOW, &line);
    const int flags = ::fcntl(slave_, F_GETFL);
    ::fcntl(slave_, F_SETFL, flags | O_NONBLOCK);
    const std::string block(4096, 'x');
    // The pty moves data on in the background: full means it stays full for a while.
    for (int quietRounds = 0; quietRounds < 3;) {
        if (::write(slave_, block.data(), block.size()) > 0) {
            quietRounds = 0;
        } else {
            ++quietRounds;
            pollfd writable{slave_, POLLOUT, 0};
            ::poll(&writable, 1, 50);
        }
    }
    ::fcntl(slave_, F_SETFL, flags);
}

OpenCloseWatch::OpenCloseWatch(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ < 0 || ::inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        throw std::runtime_error("inotify on " + path + " failed");
    }
}

OpenCloseWatch::~OpenCloseWatch() {
    ::close(fd_);
}

std::string OpenCloseWatch::Events() {
    std::string events;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_OPEN) events += 'O';
            if (event->mask & IN_CLOSE) events += 'C';
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return events;
}

}  // namespace tracking_test
