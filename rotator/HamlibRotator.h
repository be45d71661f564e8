// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One rotator driven through Hamlib, from a worker thread of its own. Hamlib's calls wait for
// their timeouts and retries when a controller is silent, so the caller only posts requests and is
// told the results; it never waits on Hamlib. Hamlib itself admits one thread at a time
// (HamlibModels::HamlibInUse), so the requests of two Hamlib rotators take turns, and each
// rotator's waits are cut to kLongestWaitMs so that a silent one holds the others up by no more.
// A request not yet started is replaced by a newer one: a rotator that cannot keep up gets the
// latest target, never a backlog. The rotator is opened at its first request, kept open while it
// works, and closed after a failure so the next request opens it anew.
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
    bool skipped = false;             // never tried: a newer request took its place, or the rotator was let go
};

// Called once per request on the worker thread, with its result.
using Completion = std::function<void(const Result&)>;

// Degrees to two decimals, as they go to Hamlib.
double TwoDecimals(double degrees);

// The longest a rotator waits for its controller in one request, in milliseconds: Hamlib's
// timeout times its tries, cut down to this where the model's own are longer.
inline constexpr int kLongestWaitMs = 800;

// Where an address leads, for telling whether two addresses are one rotator: the device with
// blanks and control characters trimmed from its ends, a device file with its links followed
// (/dev/serial/by-id/... as /dev/ttyUSB0), a network rotator's host as the numeric address it
// resolves to, with its port ("localhost:4533" as "127.0.0.1:4533"). Resolved names are kept for
// a minute.
std::string Destination(const Address& address);

class Rotator {
public:
    explicit Rotator(Address address);
    // Ends the worker without waiting for it: the request in progress finishes in the worker's own
    // time, those not started are answered as skipped, and the rotator is closed.
    ~Rotator();
    Rotator(const Rotator&) = delete;
    Rotator& operator=(const Rotator&) = delete;

    // Hands a request over; returns at once. A set position, stop or park not yet started is
    // replaced by this one when it is one of them (a set position keeps the other coordinate of
    // the one it replaces when it gives only one); a read joins one not yet started. Every request
    // is answered, a replaced one as skipped. done may be empty.
    void Post(Request request, Completion done);

    // Asks the worker to end without waiting for it; Ended() tells when it has.
    void Retire();
    bool Ended() const;

    const Address& Where() const;

private:
    struct Worker;  // shared with the worker thread, which may outlive this object
    std::shared_ptr<Worker> worker_;
};

// The rotators in use, one worker per model and Destination: two axes naming the same rotator
// share it. For the thread that owns the rotators (the UI thread); never waits on Hamlib. The
// program's Hamlib axes own one (HamlibTransport::Axes).
class Registry {
public:
    Registry() = default;
    ~Registry();  // retires every worker without waiting for them
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The rotator at this address, started when new; a known one asked for with another line
    // speed is retired and replaced.
    std::shared_ptr<Rotator> For(const Address& address);

    // Retires every rotator that none of these addresses leads to: its link is closed and its
    // worker ends.
    void KeepOnly(const std::vector<Address>& inUse);

private:
    using Key = std::pair<int, std::string>;  // model and Destination
    void SweepRetired();

    std::map<Key, std::shared_ptr<Rotator>> rotators_;
    std::vector<std::shared_ptr<Rotator>> retired_;
};

}  // namespace HamlibRotator
