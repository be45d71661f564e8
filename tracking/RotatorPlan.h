// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "Location.h"
#include "Protocols.h"
#include "RotatorSettings.h"
#include "horizon_mask.h"

// Where the rotators point, given where the target stands: the side of an overlapping azimuth
// range chosen for a whole pass, the elevation range, the policy below the horizon, and the
// deadband that spares relays a move of a degree.
namespace RotatorPlan {

// The target as seen from the station: degrees, azimuth from north through east, elevation
// negative below the horizon.
struct Horizontal {
    long double azimuth;
    long double elevation;
};

// The target's position at an instant (UTC).
using Sky = std::function<Horizontal(Location::Instant)>;

// How far ahead a pass is followed, and the step it is sampled at.
inline constexpr std::chrono::minutes kPassStep{1};
inline constexpr std::chrono::hours kLongestPass{24};

// One pass of the target above the horizon, as the rotator follows it: the azimuth it is sent
// (offset added) each kPassStep from the start, unwound continuously, on the side of the range
// chosen for it.
struct Pass {
    Location::Instant start;
    Location::Instant end;  // the target sets (or the look-ahead ends)
    int32_t shift = 0;      // degrees added to the azimuth as the rotator reads it at north: 0 or 360
    bool wholePass = true;  // the chosen side holds the whole pass
    // The rotator's swing round through its stop, when no side holds the whole pass: the first
    // instant a command on the other side of the stop goes out (start + i * kPassStep, as the
    // ticks of tracking from the start send), and the commands either side of it (rotator
    // azimuths, whole degrees).
    struct Swing {
        Location::Instant at;
        int32_t from;
        int32_t to;
    };
    std::optional<Swing> swing;
    std::vector<long double> track;  // rotator azimuth at start + i * kPassStep

    // The rotator azimuth in [0, range] for a whole-degree azimuth (offset added) at an instant:
    // the turn of it nearest the track, brought into the range when the track has left it.
    int32_t RotatorAzimuth(int32_t azimuth, Location::Instant at, int32_t range) const;
};

// Plans the pass that is under way at `start` (the target above the horizon, or rising then),
// for an azimuth offset and a rotator range (361-540). The side that holds the whole pass wins;
// when none does, the side that holds its longer part, with the swing the commands make.
Pass PlanPass(const Sky& sky, Location::Instant start, int32_t azimuthOffset, int32_t range);

// The first instant after `from`, to the minute, at which the target stands on or above the
// horizon; nullopt when it stays below for kLongestWait.
inline constexpr std::chrono::days kLongestWait{31};
std::optional<Location::Instant> NextRise(const Sky& sky, Location::Instant from);

// The azimuth a protocol is sent: within 0-359 for those whose controllers take no more
// (Protocol::TakesAzimuthAbove359) when the range has an overlap; unchanged otherwise (the stop at
// north sends 360 as it always did).
int32_t AzimuthForProtocol(int32_t azimuth, const Protocols::Protocol& protocol, int32_t range);

// Where the rotators point: whole degrees for the controllers of the protocol table, and the
// same direction unrounded (offsets added, on the same turn) for Hamlib, which takes fractions.
struct Aimed {
    Protocols::Targets whole;
    Horizontal unrounded;
};

// The targets sent over a run of tracking: keeps the pass being followed and the next rise.
class Aim {
public:
    explicit Aim(Sky sky) : sky_(std::move(sky)) {}

    // The targets for the target at `now` standing at `target` (unrounded degrees), with the
    // offsets, settings and the horizon mask (where the "wait" policy waits for the rise). With every setting at its default this is the plain rounded
    // position plus offsets: the azimuth lifted by 360 once when negative, the elevation held
    // at 0.
    Aimed TargetsAt(Location::Instant now, Horizontal target, int32_t azimuthOffset, int32_t elevationOffset,
                    const RotatorSettings::Settings& settings, const horizon_mask::Mask& mask);

    // Tracking (re)starts: the next targets plan their pass afresh.
    void Restart();

    // The pass followed now, or the one waited for below the horizon.
    const std::optional<Pass>& CurrentPass() const { return pass_; }

private:
    const Pass& PassFrom(Location::Instant start, int32_t azimuthOffset, int32_t range);
    std::size_t ClearsTheMask(const Pass& pass, const horizon_mask::Mask& mask) const;

    Sky sky_;
    std::optional<Pass> pass_;
    // The sample of the pass waited for at which the target clears the horizon mask (0 without one).
    std::size_t risingIndex_ = 0;
    int32_t passOffset_ = 0;
    int32_t passRange_ = 0;
};

// Sends that the "Cont. track" ticks may skip: an axis's command goes out when any value it
// carries has moved by at least the deadband since that axis's last successful send.
class Deadband {
public:
    // Whether the axis's command is due; carriesAzimuth for the elevation command that also
    // carries the azimuth (GS-232A's "W az el"). A deadband of 0, or no send yet, is always due.
    bool Due(Protocols::Axis axis, const Protocols::Targets& targets, bool carriesAzimuth, int32_t deadband) const;
    // Records a successful send of the axis's command.
    void Sent(Protocols::Axis axis, const Protocols::Targets& targets, bool carriesAzimuth);
    void Forget();

private:
    struct Last {
        std::optional<int32_t> azimuth;
        std::optional<int32_t> elevation;
    };
    Last azimuthAxis_;
    Last elevationAxis_;
};

// The tracking timer's interval in milliseconds: intervalSeconds when set, else TrackInterval's
// minutes (0 or less stops the timer; the longest is held at 35791 minutes).
int TickMilliseconds(int32_t trackIntervalMinutes, int32_t intervalSeconds);

}  // namespace RotatorPlan
