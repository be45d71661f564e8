// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibLink.h"

#include <hamlib/rig.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace HamlibLink {

namespace {

// A network device's address as the system resolved it.
struct NetworkAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    std::string text;  // "127.0.0.1:4533", "[::1]:4533"
};

std::optional<NetworkAddress> Resolve(const std::string& device, const char* defaultPort) {
    std::string host = device;
    std::string port = defaultPort;
    if (const auto colon = device.rfind(':'); colon != std::string::npos && device.find(':') == colon) {
        host = device.substr(0, colon);
        port = device.substr(colon + 1);
    } else if (device.starts_with('[')) {
        const auto close = device.find(']');
        if (close != std::string::npos) {
            host = device.substr(1, close - 1);
            if (device.compare(close + 1, 1, ":") == 0) port = device.substr(close + 2);
        }
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return std::nullopt;
    std::optional<NetworkAddress> best;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        char address[NI_MAXHOST];
        char service[NI_MAXSERV];
        if (entry->ai_addrlen > sizeof(sockaddr_storage) ||
            ::getnameinfo(entry->ai_addr, entry->ai_addrlen, address, sizeof address, service, sizeof service,
                          NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
            continue;
        }
        const bool v6 = entry->ai_family == AF_INET6;
        std::string text = v6 ? '[' + std::string(address) + "]:" + service : std::string(address) + ':' + service;
        // IPv4 first ('[' sorts after the digits), then the lowest, so that every name of one
        // machine gives the same text whatever order the resolver lists its addresses in.
        if (best && best->text <= text) continue;
        best.emplace();
        std::memcpy(&best->address, entry->ai_addr, entry->ai_addrlen);
        best->length = entry->ai_addrlen;
        best->text = std::move(text);
    }
    ::freeaddrinfo(found);
    return best;
}

// Why a connection to the address cannot be made within waitMs; nullopt when it can.
std::optional<std::string> Unreachable(const NetworkAddress& to, int waitMs) {
    const int fd = ::socket(to.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::string("IO error: ") + std::strerror(errno);
    int error = ::connect(fd, reinterpret_cast<const sockaddr*>(&to.address), to.length) == 0 ? 0 : errno;
    if (error == EINPROGRESS) {
        pollfd connected{fd, POLLOUT, 0};
        if (::poll(&connected, 1, waitMs) <= 0) {
            ::close(fd);
            return std::string("Communication timed out");
        }
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    }
    ::close(fd);
    if (error == 0) return std::nullopt;
    return std::string("IO error: ") + std::strerror(error);
}

// The signal that cuts a blocking system call short: its handler does nothing and is installed
// without SA_RESTART, so the call gives up with EINTR.
int CutShortSignal() {
    static const int signal = [] {
        const int number = SIGRTMIN + 2;
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(number, &action, nullptr);
        return number;
    }();
    return signal;
}

}  // namespace

std::string ErrorText(int code) {
    const char* text = rigerror2(code);
    std::string line = text ? text : "";
    if (const auto end = line.find_first_of("\r\n"); end != std::string::npos) line.resize(end);
    return line.empty() ? "Hamlib error " + std::to_string(code) : line;
}

bool IsSound(int code) {
    const int error = code < 0 ? -code : code;
    return RIG_IS_SOFT_ERRCODE(error);
}

std::optional<std::string> NumericAddress(const std::string& device, const char* defaultPort) {
    std::optional<NetworkAddress> resolved = Resolve(device, defaultPort);
    if (!resolved) return std::nullopt;
    return std::move(resolved->text);
}

std::optional<std::string> Reach(const std::string& device, const char* defaultPort, int waitMs, std::string& why) {
    std::optional<NetworkAddress> to = Resolve(device, defaultPort);
    std::optional<std::string> problem = to ? Unreachable(*to, waitMs) : "IO error: no address for " + device;
    if (problem) {
        why = std::move(*problem);
        return std::nullopt;
    }
    return std::move(to->text);
}

CutShortAfter::CutShortAfter(std::chrono::milliseconds limit) {
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = CutShortSignal();
    event._sigev_un._tid = static_cast<pid_t>(::syscall(SYS_gettid));
    if (::timer_create(CLOCK_MONOTONIC, &event, &timer_) != 0) return;
    armed_ = true;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
    itimerspec when{};
    when.it_value = {static_cast<time_t>(seconds.count()),
                     static_cast<long>(std::chrono::nanoseconds(limit - seconds).count())};
    when.it_interval = {0, 100'000'000};
    ::timer_settime(timer_, 0, &when, nullptr);
}

CutShortAfter::~CutShortAfter() {
    if (armed_) ::timer_delete(timer_);
}

}  // namespace HamlibLink
