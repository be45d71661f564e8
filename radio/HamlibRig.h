// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One transceiver driven through Hamlib, from a worker thread of its own. A rig that does not answer
// makes Hamlib wait for its timeouts; the caller only posts requests and is told the results, so it
// never waits. Hamlib admits one thread at a time (its debug buffers are global), so every Hamlib call
// here takes a turn at the gate the program hands in, the same one its rotators take, one call at a
// time, and each call's waits are cut to kLongestWaitMs: a silent rig holds a rotator up by no more.
// A request not yet started is replaced by a newer one. The rig is opened at its first request and
// closed after a failure of its link, so the next request opens it anew.
namespace HamlibRig {

// Which rig: Hamlib's model number and where it is.
struct Address {
    int model = 0;
    std::string device;  // serial path, or host:port of a rigctld for model 2 (NET rigctl)
    int lineSpeed = 0;   // baud for serial models; 0 keeps the model's own
    friend bool operator==(const Address&, const Address&) = default;
};

// Held around every Hamlib call (BasicLockable): the program's one lock on Hamlib.
class Gate {
public:
    virtual ~Gate() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

// What the rig is to do; every request also reads the rig back. Frequencies are on the rig's dial, Hz.
struct Request {
    std::optional<long long> receiveHz;   // to the current VFO
    std::optional<long long> transmitHz;  // to the transmit VFO when split, else to the current VFO
                                          // (not set when receiveHz is also given and the rig is not split)
    bool split = false;                   // work split, where the rig can: receive and transmit on two VFOs
};

struct Result {
    Request request;
    bool ok = false;
    std::string reason;                     // the step and Hamlib's error text; empty when ok
    bool receiveSet = false;                // the receive frequency went to the rig
    bool transmitSet = false;               // the transmit frequency went to the rig
    std::optional<long long> dialBeforeHz;  // the current VFO read before it was set
    std::optional<long long> receiveHz;     // read back: the current VFO
    std::optional<long long> transmitHz;    // read back: the split VFO, when split
    std::optional<bool> transmitting;       // the rig's PTT; nullopt when the rig cannot tell
    bool hasSplit = false;                  // the model has split VFOs
    bool skipped = false;                   // never tried: replaced by a newer request, or the rig let go
};

using Completion = std::function<void(const Result&)>;

// The longest one Hamlib call waits for the rig, in milliseconds.
inline constexpr int kLongestWaitMs = 800;

// The rig models Hamlib knows.
struct Model {
    int number;
    std::string manufacturer;
    std::string name;
    bool serial;       // reached over a serial line (a line speed applies)
    bool needsDevice;  // false for the simulated rig
};
// Every model, by number; the first call loads Hamlib's rig backends (taking turns at the gate).
const std::vector<Model>& Models(Gate& gate);
const Model* FindModel(Gate& gate, int number);

class Rig {
public:
    Rig(Address address, Gate& gate);
    // Ends the worker without waiting for it: a call under way finishes in the worker's own time.
    ~Rig();
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // Hands a request over and returns at once; done is called on the worker thread. A request not yet
    // started is answered as skipped and replaced.
    void Post(Request request, Completion done);

    const Address& Where() const;
    bool Ended() const;

private:
    struct Worker;  // shared with the worker thread, which may outlive this object
    std::shared_ptr<Worker> worker_;
};

}  // namespace HamlibRig
