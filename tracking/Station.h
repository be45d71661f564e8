// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Journal.h"
#include "Location.h"
#include "Rotators.h"
#include "Targets.h"
#include "horizon_mask.h"
#include "moon_rise_set.h"

// The station as the operator watches it: for each axis what it is set to and what it was last
// told, with the outcome; the Moon now; and the journal of sends, failures and settings changes.
// Texts are UTF-8.
namespace Station {

// The last command of an axis in this run.
struct LastCommand {
    std::string bytes;  // as they went on the line
    Location::Instant at;
    bool sent = false;
    std::string result;  // "sent", or the reason and the device: "not found (/dev/ttyUSB7)"
    std::string hint;    // what the operator can do about it, or empty
    std::string call;    // for a Hamlib rotator, in place of the bytes: "set position 123.46 45.00"
};

struct AxisStatus {
    std::string protocol;  // the name as set
    bool protocolKnown = false;
    bool sends = false;  // false for "none", for a name not in the list and for "Hamlib" without a rotator
    int32_t comNr = 0;
    std::string port;                // "COM40"; for Hamlib "model 2 (Hamlib NET rotctl)"
    std::string device;              // the device the port stands for now; empty when none
    std::string lineSpeed;           // "9600"; for Hamlib empty when the model's own applies
    std::optional<double> target;    // the value sent, offsets included, from the last position update
    bool fractionalDegrees = false;  // the target is sent unrounded (the protocol row's own)
    std::optional<LastCommand> last;

    // The axis as the station window words it, by its transport (AxisTransports): an empty text
    // stands for none.
    struct Shown {
        std::string portCaption;  // "Port"; "Hamlib model"
        std::string port;         // "COM40"; "model 2 (Hamlib NET rotctl)"
        std::string device;       // "/dev/ttyUSB7"; "no device for this port"
        std::string lineSpeed;    // "9600 baud, 8-N-1"
        std::string command;      // the last command: its bytes in hex and readable, or the call
    } shown;
};

// One run's record of the station: each axis's last command and its outcome, and the eight
// settings as last journaled. The program makes one at start-up (StationState) and hands it to the
// windows that send and show; what it records also goes into the journal it is handed.
class Records {
public:
    Records(Journal::Journal& journal, const AxisTransports::Transports& transports)
        : journal_(journal), transports_(transports) {}

    // Settings as they are now, the last command as it was recorded, worded by the axis's transport.
    AxisStatus StatusOf(Protocols::Axis axis) const;

    // The transports that send and word each axis, handed at construction.
    const AxisTransports::Transports& Transports() const { return transports_; }

    // Records what became of each command (a Rotators::SendObserver): the axis's last command and
    // a line in the journal.
    Rotators::SendObserver Recorder();

    // Whether the last command this run sent on the axis's serial line failed, with the axis still
    // set to a protocol that sends on its line.
    bool LastSendFailed(Protocols::Axis axis) const;

    // Sends the latest position to both rotators (Rotators::SendToRotators) and records every
    // command and its outcome, in the axis status and in the journal. True when every command went
    // out whole.
    bool SendToRotators();

    // Writes each of the eight settings that changed since the last call into the journal, one
    // line each ("Settings: AZoffset 0 -> 10"); the first call writes all of them on one line.
    void NoteSettings();

private:
    void Record(const Rotators::SendOutcome& outcome);

    Journal::Journal& journal_;
    const AxisTransports::Transports& transports_;  // how each axis is sent and worded
    std::array<std::optional<LastCommand>, 2> last_;
    std::optional<std::array<std::string, 8>> notedSettings_;
};

inline constexpr char kSentText[] = "sent";

// "sent", or why a command failed, with its device: "permission denied (/dev/ttyUSB0)"; a port
// that stands for no device reads "not found (no device for COM200)".
std::string ResultText(const Rotators::SendOutcome& outcome);
// What the operator can do about a failure, or empty: for permission denied, joining `dialout`.
std::string HintFor(const SerialPort::SendResult& result);

// Settings of a section of their own ([Pointing], [Rotator]) as key and text.
using KeyTexts = std::vector<std::pair<std::string, std::string>>;
// Writes each key whose text changed into the journal, one line each ("Settings: Deadband 0 -> 2");
// an absent or empty text reads "none".
void NoteChanges(Journal::Journal& journal, const KeyTexts& before, const KeyTexts& after);

struct TargetStatus {
    bool known = false;      // false while the locator names no position
    Targets::Target target;  // the Moon unless [Pointing] Target names another: everything below is its
    Location::Instant at;
    long double latitude = 0.0L;       // the station, degrees north
    long double eastLongitude = 0.0L;  // the station, degrees east
    // In precise mode, when the station's exact place lies outside its locator's square: where, in UTF-8
    // (PointingSettings::PlaceAgainstLocator); empty otherwise.
    std::string placeAgainstLocator;
    long double azimuth = 0.0L;                          // degrees from north through east
    long double elevation = 0.0L;                        // degrees, as the main window rounds it
    long double rightAscension = 0.0L;                   // apparent, degrees in [0, 360)
    long double declination = 0.0L;                      // apparent, degrees
    long double distanceKm = 0.0L;                       // the station to the centre of the target
    std::optional<moon_rise_set::HorizonCrossing> next;  // next rise or set within two days
    bool nextAgainstMask = false;                        // `next` crosses the horizon mask ([Horizon]), not the horizon
};

// The target for the station at the clock's present reading: the Moon for the locator by default;
// in precise mode or for another target, where the position update points (PointingSettings::Direction),
// from the station's exact place when one is set, with the apparent place of date. The rise and set
// are where the target crosses `mask` (the horizon mask in force) when it is not empty.
TargetStatus TargetNow(const horizon_mask::Mask& mask);

}  // namespace Station
