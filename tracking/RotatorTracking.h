// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "HorizonSettings.h"
#include "Location.h"
#include "MoveTiming.h"
#include "RotatorPlan.h"
#include "Rotators.h"
#include "Station.h"

// The rotators' side of the program's tracking: the targets of the latest position update pointed
// as the [Rotator] settings and the [Horizon] mask in force say, and the sends of "Track" and of the
// "Cont. track" ticks, the latter spared by the deadband. With every setting at its default the
// targets and sends are exactly the plain position update's.
namespace RotatorTracking {

// Whether an axis's last command on its line failed, so that Tracker::RetryFailed has something to send.
bool AnyFailed(const Station::Records& records);

// The first instant of the pass under way at `at` (the minute the target rose, at most
// RotatorPlan::kLongestPass before); `at` itself when the target is below the horizon.
Location::Instant PassStartBefore(Location::Instant at);

// What the program keeps for pointing the rotators: the [Rotator] settings and the horizon mask in
// force, the pass followed with the turn chosen, and the deadband's last sends. The program makes
// one at start-up (StationState) and hands it to the windows, pages and links that point, send or
// show the settings; lunark-position and each test make their own.
class Tracker {
public:
    // Sends through the transports it is handed, which outlive it.
    explicit Tracker(AxisTransports::Transports& transports);
    // The Hamlib rotators are pointed plainly again once the tracking that set them is gone.
    ~Tracker();
    Tracker(const Tracker&) = delete;  // the move timing and the pages hold on to its settings
    Tracker& operator=(const Tracker&) = delete;

    // The settings and the mask in force; every default leaves the rotators pointed plainly.
    const RotatorSettings::Settings& Settings() const { return settings_; }
    const horizon_mask::Mask& Mask() const { return mask_; }

    // Puts new [Rotator] settings in force at once (start-up, the station window's Rotator page,
    // lunark-position): the pass is planned afresh and the deadband forgets what was sent. The
    // Hamlib rotators are told them (HamlibTransport::Axes::UseRotatorSettings).
    void Use(const RotatorSettings::Settings& settings);
    // Puts a new horizon mask in force; the pass followed stays (a "wait" for the rise planned from now on sees it).
    void UseMask(const horizon_mask::Mask& mask) { mask_ = mask; }

    // Puts Position::AZtarget, ELtarget, AZvalue and ELvalue where the rotators are to point at
    // `now` for the target's position of the latest update (Position::TargetAzimuth, TargetElevation), and
    // the same direction unrounded for the Hamlib rotators (HamlibTransport::Axes::SetPointedTarget).
    // Nothing changes while no position is known.
    void PointTargets(Location::Instant now);

    // Sends the pointed targets: "Track" (automatic false) always sends both axes; a tick of
    // "Cont. track" only the axes the deadband lets through. True when every command sent went out.
    // observer hears of every serial command once it is done (Rotators::SendToRotators).
    bool Send(const Station::Records& records, bool automatic, const Rotators::SendObserver& observer = {});

    // Sends the pointed targets again to the axes whose last command on their line failed
    // (records.LastSendFailed), as a send of "Cont. track" would; nothing when none did. True when
    // every command sent went out.
    bool RetryFailed(const Station::Records& records, const Rotators::SendObserver& observer = {});

    // One send for what automatic sends want (MoveTiming): the axes a tick's deadband lets through, both
    // axes for `all`, the failed ones for `retry` (records.LastSendFailed), in one send of the pointed targets; then the position
    // owed to a Hamlib rotator that answers again (HamlibTransport::Axes::Send) for an axis that send left out.
    // Send and RetryFailed are its two plain cases. True when every command sent went out.
    bool SendOwed(const Station::Records& records, const MoveTiming::Sends& sends,
                  const Rotators::SendObserver& observer = {});

    // Tracking starts ("Cont. track" turned on): the pass to follow is chosen afresh and the
    // deadband forgets what was sent.
    void Restart();

    // Starts following the pass that began at `start` (lunark-position: the pass the instant asked
    // about belongs to).
    void FollowPassFrom(Location::Instant start);

    // The pass followed now (or waited for below the horizon), with its swing through the stop.
    const std::optional<RotatorPlan::Pass>& CurrentPass() const { return aim_.CurrentPass(); }

    // On an overlapping range, the pass followed and its side, or when the rotator has to swing
    // through its stop because no side holds the whole pass (the minute the first command on the
    // other side goes out) and the swing: "Pass on 0-450: 2026-12-06 16:54 UTC to 2026-12-07 07:27
    // UTC, no side holds it all; the rotator swings through its stop at 2026-12-06 20:31 UTC, from
    // 91° to 450° (359° clockwise)". UTF-8 text; empty without an overlap, a pass or a position.
    std::string PassNotice() const;

    // The tracking timer's interval: IntervalSeconds when set, else TrackInterval's minutes.
    int TimerMilliseconds() const;

    // Whether each tick computes the position afresh before sending (an interval in seconds is set).
    bool FreshPositionEachTick() const { return settings_.intervalSeconds > 0; }

private:
    // Sends the pointed targets to the axes asked for; the deadband notes what went out.
    bool SendAxesAndNote(bool azimuth, bool elevation, const Rotators::SendObserver& observer);

    AxisTransports::Transports& transports_;
    RotatorSettings::Settings settings_;
    horizon_mask::Mask mask_;
    RotatorPlan::Aim aim_;
    RotatorPlan::Deadband deadband_;
    // Where the pass followed was planned: a pass planned for another place (the locator changed
    // in Setup) is planned afresh. Unset until the first targets are pointed.
    std::optional<std::pair<long double, long double>> plannedAt_;
};

}  // namespace RotatorTracking
