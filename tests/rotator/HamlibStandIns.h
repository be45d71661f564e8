// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tracking_test {

// Hamlib's rotator daemon serving its simulated rotator (model 1, which turns at 6 degrees a
// second from 0/0) on a free loopback port.
class RotctlDaemon {
public:
    RotctlDaemon();  // started, and accepting connections
    ~RotctlDaemon();
    RotctlDaemon(const RotctlDaemon&) = delete;
    RotctlDaemon& operator=(const RotctlDaemon&) = delete;

    const std::string& Address() const { return address_; }  // "127.0.0.1:PORT"
    void Kill();    // SIGKILL: gone at once, as with a crash or a pulled network cable
    void Start();   // again, on the same port
    void Pause();   // SIGSTOP: connections stay open, nothing is answered
    void Resume();  // SIGCONT
    // The position Hamlib's own client reads (rotctl -m 2 -r ADDRESS p); false when it fails.
    bool ReadWithRotctl(double& azimuth, double& elevation) const;
    // Every set position the simulator was given since the daemon was first started, in order,
    // as its own log tells them.
    std::vector<std::pair<double, double>> SetPositions() const;
    // Connections to the daemon that are open.
    int OpenConnections() const;

private:
    bool Launch();  // false when rotctld could not bind the port

    int port_ = 0;
    pid_t pid_ = -1;
    std::string address_;
    std::string log_;
};

// Hamlib's rig daemon serving its simulated rig (model 1, its PTT read from the rig) on a free
// loopback port, asked over rigctld's own protocol.
class RigctlDaemon {
public:
    RigctlDaemon();  // started, and accepting connections
    ~RigctlDaemon();
    RigctlDaemon(const RigctlDaemon&) = delete;
    RigctlDaemon& operator=(const RigctlDaemon&) = delete;

    const std::string& Address() const { return address_; }  // "127.0.0.1:PORT"
    void Pause();                                            // SIGSTOP: connections stay open, nothing is answered
    void Resume();                                           // SIGCONT
    // One command ("f", "+i", "T 1") on a connection of its own; the answer's lines, or empty when
    // none came within ten seconds (a loaded machine).
    std::string Ask(const std::string& command) const;
    // The receive frequency (f) and the split transmit frequency (+i), Hz; -1 when not read.
    long long Frequency() const;
    long long SplitFrequency() const;
    // Connections to the daemon that are open.
    int OpenConnections() const;

private:
    int port_ = 0;
    pid_t pid_ = -1;
    std::string address_;
};

// A Yaesu GS-232A controller on a pseudo-terminal, as far as Hamlib's GS-232A backend talks to
// it: "Waaa eee" CR turns (no answer), "C2" CR is answered "+0aaa+0eee" CR LF, "S" CR stops.
class Gs232aController {
public:
    Gs232aController();
    ~Gs232aController();
    Gs232aController(const Gs232aController&) = delete;
    Gs232aController& operator=(const Gs232aController&) = delete;

    const std::string& Path() const { return path_; }
    std::string TakeReceived();  // every byte received since the last call
    void SetPosition(int azimuth, int elevation);
    void SetSilent(bool silent);  // silent: reads everything, answers nothing
    void Hold();                  // answers wait until Release
    void Release();
    speed_t LineSpeed() const;

private:
    void Serve();

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::mutex mutex_;
    std::string received_, line_, heldAnswers_;
    int azimuth_ = 0, elevation_ = 0;
    bool silent_ = false, held_ = false;
    std::atomic<bool> stop_ = false;
    std::thread server_;
};

}  // namespace tracking_test
