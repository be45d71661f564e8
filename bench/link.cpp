// SPDX-License-Identifier: GPL-3.0-or-later
// The rotctld-compatible server on a thread of its own, as the program's event loop runs it, reached
// over loopback TCP: the round trip of "p" against Hamlib's rotctld serving its simulated rotator
// (model 1), and the server thread's CPU time while ten clients poll at 10 Hz.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "AxisTransports.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "RotctldServer.h"
#include "StationRotators.h"

namespace {

// The server and the station behind it, living on their own thread.
class ServerThread {
public:
    ServerThread() {
        anchor_.moveToThread(&thread_);
        thread_.start();
        QMetaObject::invokeMethod(
            &anchor_,
            [this] {
                server_ = new RotctldServer(rotators_, journal_);
                server_->Listen(QStringLiteral("127.0.0.1"), 0);
                port_ = server_->Port();
                ::pthread_getcpuclockid(::pthread_self(), &clock_);
                ready_ = true;
            },
            Qt::QueuedConnection);
        while (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~ServerThread() {
        QMetaObject::invokeMethod(
            &anchor_, [this] { delete server_; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    int Port() const { return port_; }
    // CPU seconds the server's thread has used.
    double CpuSeconds() const {
        timespec used{};
        ::clock_gettime(clock_, &used);
        return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
    }

private:
    struct Anchor : QObject {};
    QThread thread_;
    Anchor anchor_;
    Journal::Journal journal_;
    HamlibTransport::Axes hamlib_;
    AxisTransports::Transports transports_{hamlib_};
    RotatorTracking::Tracker tracking_{transports_};
    StationLink::StationRotators rotators_{StationLink::Program{}, tracking_, hamlib_, journal_};
    RotctldServer* server_ = nullptr;
    std::atomic<bool> ready_ = false;
    std::atomic<int> port_ = 0;
    clockid_t clock_{};
};

int Connect(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const int on = 1;
            ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return socket;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::close(socket);
    return -1;
}

// Sends "p" and reads its two lines; false when the connection failed.
bool Poll(int socket) {
    if (::write(socket, "p\n", 2) != 2) return false;
    char answer[256];
    int lines = 0;
    while (lines < 2) {
        const ssize_t got = ::read(socket, answer, sizeof answer);
        if (got <= 0) return false;
        for (ssize_t i = 0; i < got; ++i) lines += answer[i] == '\n';
    }
    return true;
}

void BM_GetPositionLunark(benchmark::State& state) {
    ServerThread server;
    const int socket = Connect(server.Port());
    if (socket < 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    for (auto _ : state) {
        if (!Poll(socket)) {
            state.SkipWithError("connection lost");
            break;
        }
    }
    ::close(socket);
}
BENCHMARK(BM_GetPositionLunark)->Unit(benchmark::kMicrosecond);

void BM_GetPositionRotctld(benchmark::State& state) {
    const int port = 45000 + static_cast<int>(::getpid() % 5000);
    const pid_t daemon = ::fork();
    if (daemon == 0) {
        const std::string portText = std::to_string(port);
        ::execlp("rotctld", "rotctld", "-m", "1", "-T", "127.0.0.1", "-t", portText.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const int socket = Connect(port);
    if (socket < 0) {
        state.SkipWithError("cannot reach rotctld");
    } else {
        for (auto _ : state) {
            if (!Poll(socket)) {
                state.SkipWithError("connection lost");
                break;
            }
        }
        ::close(socket);
    }
    ::kill(daemon, SIGTERM);
    ::waitpid(daemon, nullptr, 0);
}
BENCHMARK(BM_GetPositionRotctld)->Unit(benchmark::kMicrosecond);

// Ten clients, each polling "p" ten times a second for two seconds: the server thread's CPU time
// per second of polling (manual time: the wall time of the run).
void BM_TenClientsAt10Hz(benchmark::State& state) {
    ServerThread server;
    constexpr int kClients = 10;
    constexpr int kPollsEach = 20;  // two seconds at 10 Hz
    double cpu = 0.0;
    for (auto _ : state) {
        const double before = server.CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> clients;
        std::atomic<int> failures = 0;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&server, &failures, c] {
                const int socket = Connect(server.Port());
                // Spread over the tenth of a second, as independent programs would be.
                std::this_thread::sleep_for(std::chrono::milliseconds(10 * c));
                auto next = std::chrono::steady_clock::now();
                for (int i = 0; i < kPollsEach; ++i) {
                    if (socket < 0 || !Poll(socket)) ++failures;
                    next += std::chrono::milliseconds(100);
                    std::this_thread::sleep_until(next);
                }
                if (socket >= 0) ::close(socket);
            });
        }
        for (std::thread& client : clients) client.join();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (failures > 0) state.SkipWithError("a poll failed");
        cpu = server.CpuSeconds() - before;
        state.SetIterationTime(wall);
        state.counters["server_cpu_percent"] = 100.0 * cpu / wall;
        state.counters["server_cpu_us_per_poll"] = 1e6 * cpu / (kClients * kPollsEach);
    }
}
BENCHMARK(BM_TenClientsAt10Hz)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
