// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "HamlibTransport.h"
#include "Journal.h"
#include "LinkSettings.h"
#include "RotatorTracking.h"
#include "RotctldServer.h"
#include "Targets.h"

// The station's rotators as the server's clients reach them: through Lunark's own path (the
// position update, the offsets, the [Rotator] limits and the send step of each axis's transport),
// never around it. A client's direction is a fixed target that the position update follows in
// place of the [Pointing] one until the operator takes the antenna back ("Track", or "Cont. track"
// ticked).
namespace StationLink {

// What the main window does for a client.
struct Program {
    std::function<bool()> tracking;      // "Cont. track" is ticked
    std::function<void()> stopTracking;  // untick it
    std::function<bool()> pointAndSend;  // a position update and a send of both axes; true when all went out
};

class StationRotators : public Rotctld::Station {
public:
    // rotators: the tracking whose [Rotator] settings are in force (the limits, the park position);
    // hamlib: the Hamlib axes, read back, stopped and parked; journal: where the commands refused
    // and the ends of tracking are told. All outlive the object.
    // While it lives, the position update follows a client's direction in place of the [Pointing] target.
    StationRotators(Program program, const RotatorTracking::Tracker& rotators, HamlibTransport::Axes& hamlib,
                    Journal::Journal& journal);
    StationRotators(const StationRotators&) = delete;
    StationRotators& operator=(const StationRotators&) = delete;

    // refuse: set, stop and park are rejected while Lunark tracks; follow: they end the tracking.
    void SetCommands(LinkSettings::Commands commands) { commands_ = commands; }

    // 0 to the rotator's azimuth range; the [Rotator] elevation range, 90 without an upper limit.
    Rotctld::Ranges Limits() const override;
    // Per axis, where its Hamlib rotator was last read to stand, else what Lunark last commanded it;
    // the offsets taken off, so that a client's P reads back as it was given.
    Rotctld::Bearing Position() const override;
    int SetPosition(double azimuth, double elevation, const std::string& client) override;
    // A Hamlib rotator gets rot_stop; a controller on the serial line has no stop command and is
    // simply sent nothing more.
    int Stop(const std::string& client) override;
    // A Hamlib rotator gets rot_park; the serial line's rotators go to the [Rotator] park position
    // (BelowHorizon=park:AZ,EL) when one is set. Hamlib's "not available" when neither applies.
    int Park(const std::string& client) override;
    std::string Info() const override;

    // The direction a client asked for, which the position update follows while it is set.
    const std::optional<Targets::Target>& ClientDirection() const { return *clientDirection_; }
    // The operator takes the antenna back ("Track", "Cont. track" ticked): the [Pointing] target is
    // followed again, and the journal says so. Nothing happens while no client has pointed it.
    void ForgetClientDirection();

private:
    // Whether a command that moves the rotators may go on now; a rejection or the end of the
    // tracking goes into the journal.
    bool MayMove(const std::string& client, const char* what);
    int PointAt(long double azimuth, long double elevation);

    Program program_;
    const RotatorTracking::Tracker& rotators_;
    HamlibTransport::Axes& hamlib_;
    Journal::Journal& journal_;
    // Shared with the position update's source, which outlives the object and then reads no direction.
    std::shared_ptr<std::optional<Targets::Target>> clientDirection_ =
        std::make_shared<std::optional<Targets::Target>>();
    LinkSettings::Commands commands_ = LinkSettings::Commands::kRefuse;
};

}  // namespace StationLink
