// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Journal.h"
#include "LinkSettings.h"
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
    // journal: where the commands refused and the ends of tracking are told; it outlives the object.
    StationRotators(Program program, Journal::Journal& journal);

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

private:
    // Whether a command that moves the rotators may go on now; a rejection or the end of the
    // tracking goes into the journal.
    bool MayMove(const std::string& client, const char* what);
    int PointAt(long double azimuth, long double elevation);

    Program program_;
    Journal::Journal& journal_;
    LinkSettings::Commands commands_ = LinkSettings::Commands::kRefuse;
};

// The direction a client asked for, which the position update follows while it is set.
std::optional<Targets::Target> ClientDirection();
void SetClientDirection(std::optional<Targets::Target> direction);
// The operator takes the antenna back: the [Pointing] target is followed again. Nothing happens
// while no client has pointed it.
void ForgetClientDirection(Journal::Journal& journal);

}  // namespace StationLink
