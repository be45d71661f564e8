// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "HamlibRotator.h"
#include "Journal.h"
#include "Location.h"
#include "Protocols.h"
#include "RotatorSettings.h"

// The axes whose protocol is "Hamlib": which rotator each one drives (the [Hamlib] section of the
// settings file), the values they are sent, and their results, which reach the thread that sent
// them (the UI thread) as messages and go into the journal.
namespace HamlibTransport {

// One rotator under two names (a host and its address, a device and a link to it) is one: the same
// model reaching the same HamlibRotator::Destination.
bool SameRotator(const std::optional<HamlibRotator::Address>& first,
                 const std::optional<HamlibRotator::Address>& second);

// "MODEL,DEVICE[,SPEED]" (601,/dev/ttyUSB0,9600; 2,localhost:4533; 1, for the simulated rotator,
// which has no device); nullopt when malformed. Whether the model needs a device is not checked.
std::optional<HamlibRotator::Address> ParseRotator(std::string_view text);

// What goes to the rotator for a position in degrees, unrounded: the offsets added, a negative
// azimuth lifted by 360 once, a negative elevation sent as 0, two decimals.
HamlibRotator::Bearing Target(long double azimuth, long double elevation, int32_t azimuthOffset,
                              int32_t elevationOffset);

// The box shown when a Hamlib rotator fails: "Comms error - " and its device.
std::string CommsError(const HamlibRotator::Address& address);

// The rotator as the operator reads it: "model 2 (Hamlib NET rotctl)", and with its device
// "model 2 (Hamlib NET rotctl) at localhost:4533".
std::string ModelText(const HamlibRotator::Address& address);
std::string RotatorText(const HamlibRotator::Address& address);

// A request and its outcome as the journal and the station window tell them: "set position
// 123.46 45.00"; "done; read back 120.00 44.00" or "Comms error - DEVICE: REASON".
std::string CallText(const HamlibRotator::Result& result);
std::string OutcomeText(const HamlibRotator::Address& address, const HamlibRotator::Result& result);

// How a result gets from a rotator's worker thread to the thread that sent: the program hands
// the work to its UI thread's event loop. Without one (lunark-position, tests) results wait until
// that thread calls RunDelivered. A delivery must only hand the work on, never run it; once
// SetDelivery returns, the one it replaced is no longer called.
using Delivery = std::function<void(std::function<void()> work)>;
void SetDelivery(Delivery delivery);

inline constexpr int kFollowReadSeconds = 5;

using Resend = std::function<void(bool azimuth, bool elevation)>;

// The latest result of a command to an axis (set position, stop, park), if it has one.
struct AxisResult {
    HamlibRotator::Address address;
    HamlibRotator::Result result;
    Location::Instant at;  // when it arrived
};

// Commanded against actual for an axis: what it was last sent and where its rotator stood when
// last read, kept for the rotator they came from.
struct AxisReading {
    HamlibRotator::Address address;
    std::optional<HamlibRotator::Bearing> commanded;  // the last rot_set_position, both coordinates
    std::optional<HamlibRotator::Bearing> actual;     // the last rot_get_position
    Location::Instant actualAt;
    std::string
        failure;  // why the latest request failed, "get position: Communication timed out"; empty when it answered
};

// The latest result the journal was told of (a command's, or a rotator that stopped or started
// answering), as it was told, and how many came before it, so that a new one is told from an
// equal one before it. Number 0 while there has been none.
struct Event {
    std::uint64_t number = 0;
    std::string text;
    bool ok = true;
};

// The Hamlib axes' state on the thread that sends (the UI thread): the rotators open for them and
// their workers, the results and readings kept, the follow watches, the [Rotator] settings in force.
// The program makes one at start-up (StationState) and hands it to the transports and the tracking;
// lunark-position and each test make their own. Results that arrive after it is gone are dropped.
class Axes {
public:
    // Where results are told: the program's journal, made at start-up; none (lunark-position) keeps
    // them only for LastResult, Reading and LatestEvent. The journal outlives the axes.
    explicit Axes(Journal::Journal* journal = nullptr);
    // Lets the rotators go; results still on their way are dropped when they arrive.
    ~Axes();
    Axes(const Axes&) = delete;
    Axes& operator=(const Axes&) = delete;

    // The rotator of an axis: the one set for this run (lunark-position's --az-hamlib), else the
    // [Hamlib] section of the settings file (HamlibSettings), read at each call so that an edit takes
    // effect at the next send. nullopt when no model is set.
    std::optional<HamlibRotator::Address> AxisRotator(Protocols::Axis axis) const;
    void SetAxisRotatorForRun(Protocols::Axis axis, std::optional<HamlibRotator::Address> address);

    // Where the [Rotator] settings point the rotators, unrounded (degrees, offsets added, on the turn
    // the whole-degree targets take); RotatorTracking sets it with each pointing.
    void SetPointedTarget(long double azimuth, long double elevation);

    // The [Rotator] settings in force, as RotatorTracking::Tracker::Use hands them: whether the targets
    // point elsewhere than plainly (CurrentTarget) and the park position of FollowAction=park.
    void UseRotatorSettings(const RotatorSettings::Settings& settings);

    // Where the Hamlib rotators go for Position's latest target position with Unit3's offsets: Target's
    // values, or where the [Rotator] settings point when they point elsewhere than plainly (the
    // whole-degree targets until they have pointed).
    HamlibRotator::Bearing CurrentTarget() const;

    // Sends Position's latest target position, with Unit3's offsets, to the Hamlib rotators of the axes
    // marked true: one rot_set_position for both when they lead to the same rotator (one model, one
    // HamlibRotator::Destination, whatever the names); otherwise each keeps the other coordinate of
    // its rotator as it stands. Rotators that neither this send nor an axis set to "Hamlib" uses are
    // let go, here and at every Stop, Park and ReadBack. Returns at once; each result arrives
    // later through the delivery, is kept for LastResult and Reading, goes into the journal, and a
    // failure shows CommsError.
    void Send(bool azimuth, bool elevation);

    // Stops (rot_stop) or parks (rot_park) the rotator of an axis set to "Hamlib"; its result
    // arrives and is reported as a send's. False, with nothing asked, when the axis has no Hamlib
    // rotator.
    bool Stop(Protocols::Axis axis);
    bool Park(Protocols::Axis axis);

    // Reads where the rotators of the axes set to "Hamlib" stand (rot_get_position), one request per
    // rotator, unless a read of it is still under way. The position arrives as a send's result does;
    // a rotator that stops answering, or answers again, is reported once, not at every read.
    void ReadBack();

    // Whether the rotator of an axis set to "Hamlib" failed its latest request.
    bool Silent() const;

    // Reads back (ReadBack) while a rotator is Silent, so that one that answers again is noticed:
    // a rotator whose last position did not reach it is then sent the position at once. The program
    // calls it every second.
    void ProbeSilent();

    // Watches whether each Hamlib axis follows what it is commanded (FollowWatch, with the [Station]
    // FollowLimit, FollowTime and FollowAction keys): while the check is on, reads back every
    // readEvery (kFollowReadSeconds unless given). Every read-back is weighed: an axis found not following is told in the
    // journal and the log and shown in a message box, then stopped or parked as FollowAction says
    // (park: [Rotator] BelowHorizon's park position when one is set, else the rotator's own); one
    // that closes the gap again is journaled. The program calls it every second.
    void WatchFollowing(std::chrono::seconds readEvery = std::chrono::seconds(kFollowReadSeconds));

    // While the axis does not follow: "Azimuth rotator not following - commanded 212.4, at 180.0
    // for 75 s"; empty otherwise.
    std::string NotFollowing(Protocols::Axis axis) const;

    // The latest result of a command to an axis, the axis's reading, the latest event told.
    std::optional<AxisResult> LastResult(Protocols::Axis axis) const;
    std::optional<AxisReading> Reading(Protocols::Axis axis) const;
    const Event& LatestEvent() const;

    // Where that position goes: by default straight to Send; the program hands it to its move timing
    // ([Rotator] MoveWindow, MoveWhen). An empty function restores the default.
    void SetResend(Resend resend);

    // Lets every rotator go (the program quitting): its link is closed and its worker ends.
    void LetGoOfRotators();

    // Forgets results and readings (a new send of lunark-position).
    void ForgetResults();

    // Handles results that have arrived, waiting up to `wait` until no sent request is outstanding;
    // gives the number still outstanding.
    int RunDelivered(std::chrono::milliseconds wait);

private:
    struct State;
    // Shared with the results on their way back: one that arrives after the axes are gone finds it
    // expired and is dropped.
    std::shared_ptr<State> state_;
};

}  // namespace HamlibTransport
