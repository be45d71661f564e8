// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// One rotator driven through Hamlib, from a worker thread of its own. Hamlib's calls wait for
// their timeouts and retries (seconds when a controller is silent), so the caller only posts
// requests and is told the results; it never waits on Hamlib. Hamlib itself admits one thread at
// a time (HamlibModels::HamlibInUse), so the requests of two Hamlib rotators take turns. The
// rotator is opened at its first request, kept open while it works, and closed after a failure so
// the next request opens it anew.
namespace HamlibRotator {

// Which rotator: Hamlib's model number and where it is.
struct Address {
    int model = 0;
    std::string device;  // serial path, /dev/serial/by-id/... name, or host:port for model 2 (NET rotctl)
    int lineSpeed = 0;   // baud for serial models; 0 keeps the model's own
    friend bool operator==(const Address&, const Address&) = default;
};

enum class Command {
    kSetPosition,   // both coordinates
    kSetAzimuth,    // azimuth only: the elevation stays the rotator's current one, read first
    kSetElevation,  // elevation only: the azimuth stays the rotator's current one, read first
    kGetPosition,
    kStop,
    kPark,
};

struct Request {
    Command command = Command::kGetPosition;
    double azimuth = 0;    // degrees from north through east, for kSetPosition and kSetAzimuth
    double elevation = 0;  // degrees above the horizon, for kSetPosition and kSetElevation
};

struct Bearing {
    double azimuth;
    double elevation;
};

struct Result {
    Request request;
    bool ok = false;
    std::string reason;               // why it failed: the step and Hamlib's error text; empty when ok
    std::optional<Bearing> sent;      // what went to rot_set_position
    std::optional<Bearing> readBack;  // the rotator's position after the command
};

// Called once per request on the worker thread, with its result.
using Completion = std::function<void(const Result&)>;

// Degrees to two decimals, as they go to Hamlib.
double TwoDecimals(double degrees);

class Rotator {
public:
    explicit Rotator(Address address);
    // Ends the worker: the request in progress finishes, those not started are answered as not
    // sent, and the rotator is closed. Waits for at most the request in progress.
    ~Rotator();
    Rotator(const Rotator&) = delete;
    Rotator& operator=(const Rotator&) = delete;

    // Queues a request; returns at once. done may be empty.
    void Post(Request request, Completion done);

    // Asks the worker to end without waiting for it; Ended() tells when it has.
    void Retire();
    bool Ended() const;

    const Address& Where() const { return address_; }

private:
    struct Job {
        Request request;
        Completion done;
    };
    struct Hamlib;  // the open rotator

    void Work();
    Result Execute(const Request& request);
    bool Open(Result& result);
    void Close();

    const Address address_;
    std::unique_ptr<Hamlib> hamlib_;  // worker thread only
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool retiring_ = false;
    bool ended_ = false;
    std::thread worker_;
};

// The rotators in use, one worker per (model, device): two axes naming the same rotator share it.
// For the thread that owns the rotators (the UI thread); never waits on Hamlib.
class Registry {
public:
    Registry() = default;
    ~Registry();  // ends every worker, waiting for their requests in progress
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The rotator at this address, started when new; a known one asked for with another line
    // speed is retired and replaced.
    std::shared_ptr<Rotator> For(const Address& address);

private:
    void SweepRetired();

    std::map<std::pair<int, std::string>, std::shared_ptr<Rotator>> rotators_;
    std::vector<std::shared_ptr<Rotator>> retired_;
};

// The program's own registry.
Registry& Rotators();

}  // namespace HamlibRotator
