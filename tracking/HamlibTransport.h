// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "HamlibRotator.h"
#include "Protocols.h"

// The axes whose protocol is "Hamlib": which rotator each one drives (the [Hamlib] section of the
// settings file), the values they are sent, and their results, which reach the thread that sent
// them (the UI thread) as messages.
namespace HamlibTransport {

// The rotator of an axis: the one set for this run (lunark-position's --az-hamlib), else the
// [Hamlib] section of the settings file (keys AzModel, AzDevice, AzSpeed, ElModel, ElDevice,
// ElSpeed), read at each call so that an edit takes effect at the next send. nullopt when no
// model is set.
std::optional<HamlibRotator::Address> AxisRotator(Protocols::Axis axis);
void SetAxisRotatorForRun(Protocols::Axis axis, std::optional<HamlibRotator::Address> address);

// "MODEL,DEVICE[,SPEED]" (601,/dev/ttyUSB0,9600; 2,localhost:4533); nullopt when malformed.
std::optional<HamlibRotator::Address> ParseRotator(std::string_view text);

// What goes to the rotator for a position in degrees, unrounded: the offsets added, a negative
// azimuth lifted by 360 once, a negative elevation sent as 0, two decimals.
HamlibRotator::Bearing Target(long double azimuth, long double elevation, int32_t azimuthOffset,
                              int32_t elevationOffset);

// The box shown when a Hamlib rotator fails: "Comms error - " and its device.
std::string CommsError(const HamlibRotator::Address& address);

// Sends Position's latest Moon position, with Unit3's offsets, to the Hamlib rotators of the axes
// marked true: one rot_set_position for both when they name the same rotator; otherwise each
// keeps the other coordinate of its rotator as it stands. Returns at once; each result arrives
// later through the delivery, is kept for LastResult, and a failure shows CommsError.
void Send(bool azimuth, bool elevation);

// The latest result of an axis, if it has one.
struct AxisResult {
    HamlibRotator::Address address;
    HamlibRotator::Result result;
};
std::optional<AxisResult> LastResult(Protocols::Axis axis);
void ForgetResults();

// How a result gets from a rotator's worker thread to the thread that sent: the program hands
// the work to its UI thread's event loop. Without one (lunark-position, tests) results wait until
// that thread calls RunDelivered. A delivery must only hand the work on, never run it; once
// SetDelivery returns, the one it replaced is no longer called.
using Delivery = std::function<void(std::function<void()> work)>;
void SetDelivery(Delivery delivery);

// Handles results that have arrived, waiting up to `wait` until no sent request is outstanding;
// gives the number still outstanding.
int RunDelivered(std::chrono::milliseconds wait);

}  // namespace HamlibTransport
