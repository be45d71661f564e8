// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Location.h"
#include "RotatorSettings.h"

// When the automatic sends may move the rotators: the ticks of "Cont. track", the first send of
// resumed tracking, the retries of a failed line and the position owed to a Hamlib rotator that
// answers again. [Rotator] MoveWindow keeps them to some seconds of each transmit/receive period
// and MoveWhen=not-transmitting holds them while the weak-signal program transmits (the settings
// in force, which the timing is handed and reads as they change). A send held back leaves what it wanted owed, merged with what is owed
// already, never queued: when the rotators may move, one send goes, with the position of that
// moment. A send by hand ("Track") never asks. With both settings off every automatic send goes at
// once, as without them. The time is the program's clock (Location::Now); the period is the
// weak-signal program's T/R period while its status is fresh, else [Station] Period.
class MoveTiming {
public:
    // settings: the [Rotator] settings in force (RotatorTracking::Tracker::Settings); they outlive the timing.
    explicit MoveTiming(const RotatorSettings::Settings& settings) : settings_(settings) {}

    // What automatic sends want sent; several merge into one send.
    struct Sends {
        bool tick = false;       // a tick of "Cont. track": the axes the deadband lets through
        bool all = false;        // both axes, no deadband (the first send of resumed tracking)
        bool retry = false;      // the axes whose last serial command failed
        bool azimuth = false;    // an axis of a Hamlib rotator that answers again
        bool elevation = false;  // (both for one rotator on both axes)
        bool Any() const { return tick || all || retry || azimuth || elevation; }
        Sends& operator|=(const Sends& other);
        bool operator==(const Sends&) const = default;
    };

    // When a send goes: at `at`; with untilReceiving, as soon as the weak-signal program stops
    // transmitting, and at the latest at `at` (its status has then grown stale).
    struct When {
        Location::Instant at;
        bool untilReceiving = false;
        bool operator==(const When&) const = default;
    };

    // The T/R period in force at `at`, in seconds.
    static int32_t PeriodSeconds(Location::Instant at);

    // Whether an automatic send may move the rotators at `at`.
    bool MayMove(Location::Instant at) const;

    // An automatic send wanted now. When the rotators may move now, gives what to send (the wanted
    // send with whatever was owed) and nothing stays owed; otherwise keeps it owed and gives nullopt.
    std::optional<Sends> Offer(const Sends& wanted);

    // What is owed, once the rotators may move now (then nothing stays owed); nullopt otherwise.
    std::optional<Sends> TakeDue();

    // When to call TakeDue again: now while a send is due, the window's next start, or a second on
    // while the weak-signal program transmits; nullopt while nothing is owed.
    std::optional<Location::Instant> NextCheck() const;

    // When a send wanted at `at` (now or later) goes, as far as the clock and the latest status tell.
    When GoesAt(Location::Instant at) const;

    bool Owing() const { return owed_.Any(); }
    const Sends& Owed() const { return owed_; }

    // Forgets what is owed: a send by hand has just sent both axes.
    void Forget() { owed_ = {}; }
    // "Cont. track" turned off: the sends of tracking are no longer owed; the position owed to a
    // rotator that answers again still is.
    void ForgetTracking() { owed_.tick = owed_.all = owed_.retry = false; }

    // The timing for the Rotator page, UTF-8: "in seconds 50-59 of each 60-second period ([Station]
    // Period); a send waits until 2026-12-08 01:05:50 UTC"; "at once" with both settings off.
    std::string Describe() const;

private:
    // Whether the weak-signal program transmits at `at` while MoveWhen=not-transmitting holds the sends.
    bool Transmitting(Location::Instant at) const;

    const RotatorSettings::Settings& settings_;
    Sends owed_;
};
