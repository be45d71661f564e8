// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibStandIns.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "TimeScale.h"

extern char** environ;

namespace tracking_test {

namespace {

// A port the system has just handed out and taken back: free, as long as nobody else grabs it.
int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no free loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// Whether process pid itself listens on the loopback port: the listening socket of /proc/net/tcp
// (state 0A) on that port is one of the process's open files. Another program that took the port
// does not count.
bool ListensOn(pid_t pid, int port) {
    std::ifstream table("/proc/net/tcp");
    char local[24];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, localAddress, remoteAddress, state, queues, timer, retransmits, user, timeout, inode;
        fields >> slot >> localAddress >> remoteAddress >> state >> queues >> timer >> retransmits >> user >> timeout >>
            inode;
        if (localAddress != local || state != "0A") continue;
        const std::string socket = "socket:[" + inode + "]";
        std::error_code error;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
            if (std::filesystem::read_symlink(fd.path(), error).string() == socket) return true;
        }
    }
    return false;
}

int OpenConnectionsTo(int port) {
    // Loopback connections show both ends in /proc/net/tcp: a client's end is the one whose remote
    // port is the daemon's; state 01 is ESTABLISHED.
    std::ifstream table("/proc/net/tcp");
    char remote[16];
    std::snprintf(remote, sizeof remote, ":%04X", port);
    int open = 0;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, local, remoteAddress, state;
        fields >> slot >> local >> remoteAddress >> state;
        open += remoteAddress.ends_with(remote) && state == "01";
    }
    return open;
}

// Starts one of Hamlib's daemons (argv[0]), its standard error appended to `log`, and waits until it
// itself listens on the port; false when it exits first (another program took the port).
bool SpawnDaemon(const char* const argv[], const std::string& log, int port, pid_t& pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_APPEND, 0);
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    const std::string name = argv[0];
    if (error != 0) throw std::runtime_error("cannot start " + name + " (package libhamlib-utils)");
    const auto deadline = std::chrono::steady_clock::now() + test_support::Scaled(std::chrono::seconds(10));
    while (!ListensOn(pid, port)) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {  // it could not bind the port
            pid = -1;
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error(name + " does not listen");
        ::usleep(20000);
    }
    return true;
}

}  // namespace

RotctlDaemon::RotctlDaemon() {
    char log[] = "/tmp/lunark-rotctld-XXXXXX";
    const int fd = ::mkstemp(log);
    if (fd < 0) throw std::runtime_error("no file for rotctld's log");
    ::close(fd);
    log_ = log;
    // Another program may take the free port before rotctld binds it: then another port.
    for (int attempt = 0; attempt < 10; ++attempt) {
        port_ = FreeLoopbackPort();
        address_ = "127.0.0.1:" + std::to_string(port_);
        if (Launch()) return;
    }
    ::unlink(log_.c_str());
    throw std::runtime_error("rotctld found no free loopback port");
}

RotctlDaemon::~RotctlDaemon() {
    Kill();
    ::unlink(log_.c_str());
}

void RotctlDaemon::Start() {
    if (!Launch()) throw std::runtime_error("rotctld cannot listen on " + address_ + ": another program took the port");
}

bool RotctlDaemon::Launch() {
    const std::string port = std::to_string(port_);
    // Verbose: the simulator logs every position it is given.
    const char* argv[] = {"rotctld", "-m", "1", "-T", "127.0.0.1", "-t", port.c_str(), "-vvvv", nullptr};
    return SpawnDaemon(argv, log_, port_, pid_);
}

void RotctlDaemon::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::kill(pid_, SIGCONT);  // a paused one too
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void RotctlDaemon::Pause() {
    ::kill(pid_, SIGSTOP);
    ::waitpid(pid_, nullptr, WUNTRACED);  // the signal arrives in its own time: wait until it has
}

void RotctlDaemon::Resume() {
    ::kill(pid_, SIGCONT);
}

bool RotctlDaemon::ReadWithRotctl(double& azimuth, double& elevation) const {
    const std::string command = "rotctl -m 2 -r " + address_ + " p 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    const bool read = std::fscanf(pipe, "%lf %lf", &azimuth, &elevation) == 2;
    return ::pclose(pipe) == 0 && read;
}

std::vector<std::pair<double, double>> RotctlDaemon::SetPositions() const {
    std::vector<std::pair<double, double>> positions;
    std::ifstream log(log_);
    const std::string mark = "dummy_rot_set_position called: ";
    for (std::string line; std::getline(log, line);) {
        double azimuth = 0, elevation = 0;
        const auto at = line.find(mark);
        if (at != std::string::npos &&
            std::sscanf(line.c_str() + at + mark.size(), "%lf %lf", &azimuth, &elevation) == 2) {
            positions.emplace_back(azimuth, elevation);
        }
    }
    return positions;
}

int RotctlDaemon::OpenConnections() const {
    return OpenConnectionsTo(port_);
}

int RigctlDaemon::OpenConnections() const {
    return OpenConnectionsTo(port_);
}

RigctlDaemon::RigctlDaemon() {
    // Another program may take the free port before rigctld binds it: then another port.
    for (int attempt = 0; attempt < 10; ++attempt) {
        port_ = FreeLoopbackPort();
        address_ = "127.0.0.1:" + std::to_string(port_);
        const std::string port = std::to_string(port_);
        const char* argv[] = {"rigctld", "-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t", port.c_str(), nullptr};
        if (SpawnDaemon(argv, "/dev/null", port_, pid_)) return;
    }
    throw std::runtime_error("rigctld found no free loopback port");
}

RigctlDaemon::~RigctlDaemon() {
    ::kill(pid_, SIGKILL);
    ::kill(pid_, SIGCONT);
    ::waitpid(pid_, nullptr, 0);
}

void RigctlDaemon::Pause() {
    ::kill(pid_, SIGSTOP);
    ::waitpid(pid_, nullptr, WUNTRACED);
}

void RigctlDaemon::Resume() {
    ::kill(pid_, SIGCONT);
}

std::string RigctlDaemon::Ask(const std::string& command) const {
    // An answer ends with its last line: the value, or "RPRT n" for a set or an extended read.
    const bool extended = command.starts_with('+') || command.starts_with('T');
    const std::string line = command + "\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string answer;
    // On a loaded machine rigctld now and then closes a new connection before it reads the command:
    // the command (a read, or a PTT set to a value) is asked again on a new connection.
    while (answer.empty() && std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port_));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size())) {
            while (std::chrono::steady_clock::now() < deadline) {
                pollfd ready{fd, POLLIN, 0};
                if (::poll(&ready, 1, 50) <= 0) continue;
                char buffer[512];
                const ssize_t got = ::read(fd, buffer, sizeof buffer);
                if (got <= 0) break;
                answer.append(buffer, static_cast<std::size_t>(got));
                if (answer.ends_with('\n') && (!extended || answer.find("RPRT") != std::string::npos)) break;
            }
        }
        ::close(fd);
        if (answer.empty()) ::usleep(20000);
    }
    return answer;
}

long long RigctlDaemon::Frequency() const {
    long long hz = -1;
    std::sscanf(Ask("f").c_str(), "%lld", &hz);
    return hz;
}

long long RigctlDaemon::SplitFrequency() const {
    const std::string answer = Ask("+i");
    const auto at = answer.find("TX Frequency: ");
    long long hz = -1;
    if (at != std::string::npos) std::sscanf(answer.c_str() + at + 14, "%lld", &hz);
    return hz;
}

Gs232aController::Gs232aController() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    path_ = name;
    termios line{};
    ::tcgetattr(slave_, &line);
    ::cfmakeraw(&line);
    ::cfsetspeed(&line, B1200);  // so that the program's line speed shows
    ::tcsetattr(slave_, TCSANOW, &line);
    server_ = std::thread([this] { Serve(); });
}

Gs232aController::~Gs232aController() {
    stop_ = true;
    server_.join();
    ::close(slave_);
    ::close(master_);
}

std::string Gs232aController::TakeReceived() {
    const std::lock_guard lock(mutex_);
    return std::exchange(received_, {});
}

void Gs232aController::SetPosition(int azimuth, int elevation) {
    const std::lock_guard lock(mutex_);
    azimuth_ = azimuth;
    elevation_ = elevation;
}

void Gs232aController::SetSilent(bool silent) {
    const std::lock_guard lock(mutex_);
    silent_ = silent;
}

void Gs232aController::Hold() {
    const std::lock_guard lock(mutex_);
    held_ = true;
}

void Gs232aController::Release() {
    const std::lock_guard lock(mutex_);
    held_ = false;
    [[maybe_unused]] const ssize_t written = ::write(master_, heldAnswers_.data(), heldAnswers_.size());
    heldAnswers_.clear();
}

speed_t Gs232aController::LineSpeed() const {
    termios line{};
    ::tcgetattr(master_, &line);
    return cfgetospeed(&line);
}

void Gs232aController::Serve() {
    while (!stop_) {
        pollfd ready{master_, POLLIN, 0};
        if (::poll(&ready, 1, 20) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) continue;
        const std::lock_guard lock(mutex_);
        for (ssize_t i = 0; i < n; ++i) {
            received_ += buffer[i];
            if (buffer[i] != '\r') {
                line_ += buffer[i];
                continue;
            }
            std::string answer;
            int azimuth = 0, elevation = 0;
            if (line_ == "C2") {
                char text[32];
                std::snprintf(text, sizeof text, "+0%03d+0%03d\r\n", azimuth_, elevation_);
                answer = text;
            } else if (std::sscanf(line_.c_str(), "W%d %d", &azimuth, &elevation) == 2) {
                azimuth_ = azimuth;  // a controller that turns at once
                elevation_ = elevation;
            }
            line_.clear();
            if (silent_) continue;
            if (held_) {
                heldAnswers_ += answer;
            } else {
                // A program that closed the line misses the answer, as it would a real controller's.
                [[maybe_unused]] const ssize_t written = ::write(master_, answer.data(), answer.size());
            }
        }
    }
}

}  // namespace tracking_test
