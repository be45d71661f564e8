// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "Location.h"
#include "MoveTiming.h"
#include "RotatorPlan.h"
#include "Rotators.h"
#include "Station.h"

// The rotators' side of the program's tracking: the targets of the latest position update pointed
// as the [Rotator] settings say (RotatorSettings::Current), and the sends of "Track" and of the
// "Cont. track" ticks, the latter spared by the deadband. With every setting at its default the
// targets and sends are exactly the plain position update's.
namespace RotatorTracking {

// Puts Position::AZtarget, ELtarget, AZvalue and ELvalue where the rotators are to point at
// `now` for the target's position of the latest update (Position::TargetAzimuth, TargetElevation), and
// the same direction unrounded for the Hamlib rotators (HamlibTransport::SetPointedTarget).
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

// Whether an axis's last command on its line failed, so that RetryFailed has something to send.
bool AnyFailed(const Station::Records& records);

// One send for what automatic sends want (MoveTiming): the axes a tick's deadband lets through, both
// axes for `all`, the failed ones for `retry` (records.LastSendFailed), in one send of the pointed targets; then the position
// owed to a Hamlib rotator that answers again (HamlibTransport::Send) for an axis that send left out.
// Send and RetryFailed are its two plain cases. True when every command sent went out.
bool SendOwed(const Station::Records& records, const MoveTiming::Sends& sends,
              const Rotators::SendObserver& observer = {});

// Tracking starts ("Cont. track" turned on): the pass to follow is chosen afresh and the
// deadband forgets what was sent.
void Restart();

// Puts new [Rotator] settings in force at once (the station window's Rotator page): the pass is
// planned afresh and the deadband forgets what was sent.
void Use(const RotatorSettings::Settings& settings);

// Starts following the pass that began at `start` (lunark-position: the pass the instant asked
// about belongs to).
void FollowPassFrom(Location::Instant start);

// The pass followed now (or waited for below the horizon), with its swing through the stop.
const std::optional<RotatorPlan::Pass>& CurrentPass();

// On an overlapping range, the pass followed and its side, or when the rotator has to swing
// through its stop because no side holds the whole pass (the minute the first command on the
// other side goes out) and the swing: "Pass on 0-450: 2026-12-06 16:54 UTC to 2026-12-07 07:27
// UTC, no side holds it all; the rotator swings through its stop at 2026-12-06 20:31 UTC, from
// 91° to 450° (359° clockwise)". UTF-8 text; empty without an overlap, a pass or a position.
std::string PassNotice();

// The tracking timer's interval: IntervalSeconds when set, else TrackInterval's minutes.
int TimerMilliseconds();

// Whether each tick computes the position afresh before sending (an interval in seconds is set).
bool FreshPositionEachTick();

// The first instant of the pass under way at `at` (the minute the target rose, at most
// RotatorPlan::kLongestPass before); `at` itself when the target is below the horizon.
Location::Instant PassStartBefore(Location::Instant at);

}  // namespace RotatorTracking
