// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HamlibRotator.h"
#include "HamlibTransport.h"
#include "Protocols.h"
#include "Rotators.h"
#include "Station.h"

// The send step, one object per transport of the protocol table: the row of an axis's protocol
// names its transport, and that transport's object sends the axis's targets, words the axis for the
// station window and lunark-position, and hands on results that arrive after the step. The serial
// line and Hamlib's rotators are the two; another (a network rotator) is one more class here and a
// value of the rows' transport.
namespace AxisTransports {

// A result that reaches the program after its send step (a rotator on a worker of its own).
struct LateResult {
    bool ok = false;
    std::string text;  // "sent", or the reason and the device: "Communication timed out (localhost:4533)"
    std::optional<HamlibRotator::Bearing> readBack;  // where the rotator stood then, when it said
};

class AxisTransport {
public:
    virtual ~AxisTransport() = default;

    // One axis of a send step: the targets (whole degrees, offsets applied, as the row's controller
    // takes them) for the axis's protocol row on port comNr. observer hears of each command once it
    // is done. True when every command went out whole, or was handed on to report later.
    virtual bool SendAxis(Protocols::Axis axis, const Protocols::Protocol& protocol, int32_t comNr,
                          const Protocols::Targets& targets, const Rotators::SendObserver& observer) = 0;

    // The end of a send step, after every axis asked for, with the axes that went this way
    // (SendAxis); called even when none did, so that a transport may let go of what no axis uses.
    virtual void FinishStep(bool /*azimuth*/, bool /*elevation*/) {}

    // Fills what the station window shows of the axis (status.shown, and for a transport that
    // keeps them itself the axis's device, target and last command); status already holds the
    // settings and the serial line's record.
    virtual void Describe(Protocols::Axis axis, Station::AxisStatus& status) const;

    // What lunark-position prints of the axis after its quoted protocol name: where the commands go
    // and, a line each, what is sent on a rotator turning through azimuthRange degrees (UTF-8, each
    // line ending in '\n').
    virtual std::string PlanText(Protocols::Axis axis, const Protocols::Protocol& protocol, int32_t comNr,
                                 int32_t azimuthRange) const = 0;

    // Results that arrive after the step: forgotten before a send of lunark-position, waited for
    // (up to `wait`; the number still outstanding is returned) and read per axis.
    virtual void ForgetResults() {}
    virtual int AwaitResults(std::chrono::milliseconds /*wait*/) { return 0; }
    virtual std::optional<LateResult> LateResultOf(Protocols::Axis /*axis*/) const { return std::nullopt; }
    // The transport as a message names it: "a Hamlib rotator gave no result".
    virtual const char* Name() const = 0;
};

// The transports of the program, one of each: the serial line, Hamlib's rotators (driving the
// Hamlib axes it is handed, which outlive it) and the one that sends nothing. The program makes
// them at start-up (StationState); lunark-position and each test make their own.
class Transports {
public:
    explicit Transports(HamlibTransport::Axes& hamlib);
    ~Transports();
    Transports(const Transports&) = delete;
    Transports& operator=(const Transports&) = delete;

    // The transport of a row; an axis whose name is no protocol of it (nullptr) gets the one that
    // sends nothing.
    AxisTransport& For(const Protocols::Protocol* protocol) const;

    // Every transport, in the order a send step finishes them.
    const std::vector<AxisTransport*>& All() const { return all_; }

    // The Hamlib axes the Hamlib transport drives.
    HamlibTransport::Axes& Hamlib() const { return hamlib_; }

private:
    HamlibTransport::Axes& hamlib_;
    std::unique_ptr<AxisTransport> serialLine_, hamlibRotators_, none_;
    std::vector<AxisTransport*> all_;
};

}  // namespace AxisTransports
