// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Journal.h"
#include "MoveWindow.h"

// How the rotators are pointed beyond the plain position: the azimuth range of the rotator (with an
// overlap past north), the elevation range, what happens while the target is below the horizon,
// a deadband against needless moves, a tracking interval in seconds, and when in each transmit/receive
// period automatic sends may move the rotators. Kept in the [Rotator] section of the settings file;
// every default leaves the rotators driven exactly as without it.
namespace RotatorSettings {

inline constexpr char kSection[] = "Rotator";
inline constexpr int32_t kStopAtNorth = 360;   // "0-360": the rotator stops at north
inline constexpr int32_t kLargestRange = 540;  // "0-540": one and a half turns
inline constexpr int32_t kHighestElevation = 180;

enum class BelowHorizon { kFollow, kPark, kWait };

struct BelowHorizonPolicy {
    BelowHorizon policy = BelowHorizon::kFollow;
    int32_t parkAzimuth = 0;    // degrees, rotator's own reading (no offset added)
    int32_t parkElevation = 0;  // degrees
    bool operator==(const BelowHorizonPolicy&) const = default;
};

struct ElevationRange {
    int32_t minimum = 0;             // the lowest elevation sent, degrees
    std::optional<int32_t> maximum;  // the highest; none: no upper limit
    bool operator==(const ElevationRange&) const = default;
};

struct Settings {
    int32_t azimuthRange = kStopAtNorth;  // the rotator turns from 0 to this many degrees
    ElevationRange elevation;
    BelowHorizonPolicy belowHorizon;
    int32_t deadband = 0;         // whole degrees; 0 sends at every tick
    int32_t intervalSeconds = 0;  // seconds between ticks of "Cont. track"; 0: TrackInterval's minutes
    // Automatic sends move the rotators only in these seconds of each period; none: at any time.
    std::optional<MoveWindow::Window> moveWindow = std::nullopt;
    bool moveWhenNotTransmitting = false;  // automatic sends wait while the weak-signal program transmits
    bool operator==(const Settings&) const = default;
};

// Whether the targets are the plain position plus offsets: the stop at north, no elevation range
// beyond the plain one, the rotators following the target below the horizon.
bool PointsPlainly(const Settings& settings);

// "0-360" or "0-N" with N from 361 to 540: N; nullopt for anything else.
std::optional<int32_t> ParseAzimuthRange(std::string_view text);
// "MIN-MAX", whole degrees, 0 <= MIN <= MAX <= 180; nullopt for anything else.
std::optional<ElevationRange> ParseElevationRange(std::string_view text);
// "follow", "park:AZ,EL" (AZ 0-540, EL 0-180) or "wait"; nullopt for anything else.
std::optional<BelowHorizonPolicy> ParseBelowHorizon(std::string_view text);
// MoveWhen: "not-transmitting" (true) or empty (false); nullopt for anything else.
inline constexpr char kNotTransmitting[] = "not-transmitting";
std::optional<bool> ParseMoveWhen(std::string_view text);

// What is wrong with a park position the rotator cannot reach, as a message for the operator
// naming the field and the range ("Park azimuth 500 lies outside the azimuth range 0-450.");
// empty when the policy is not to park or the rotator reaches it.
std::string ParkProblem(const Settings& settings);

// What is wrong with a move window that does not fit the [Station] Period ("Move window 50-59 does
// not fit the 30-second period: its seconds run from 0 to 29."); empty when it fits or there is none.
std::string MoveWindowProblem(const Settings& settings, int32_t periodSeconds);

// The texts the parsers read, as the settings file keeps them.
std::string AzimuthRangeText(int32_t range);
std::string ElevationRangeText(const ElevationRange& range);
std::string BelowHorizonText(const BelowHorizonPolicy& policy);

// The keys and their texts as Save writes them; the elevation range is empty while it is the
// plain one (no limits beyond the horizon); MoveWindow and MoveWhen only while they are set.
std::vector<std::pair<std::string, std::string>> KeyTexts(const Settings& settings);

// The settings as an operator enters them, one text a field; empty fields take their defaults
// (no upper elevation limit, no interval in seconds).
struct Entries {
    std::string azimuthRange;      // "0-360" or "0-N"
    std::string elevationMinimum;  // whole degrees
    std::string elevationMaximum;
    BelowHorizon belowHorizon = BelowHorizon::kFollow;
    std::string parkAzimuth;  // with kPark
    std::string parkElevation;
    std::string deadband;         // whole degrees
    std::string intervalSeconds;  // whole seconds
    std::string moveWindow;       // "SS-SS" or empty
    bool moveWhenNotTransmitting = false;
};
Entries ToEntries(const Settings& settings);
// The settings the entries give, the move window checked against a period of `periodSeconds`
// ([Station] Period); nullopt with `problem` saying, for the operator, what is wrong.
std::optional<Settings> FromEntries(const Entries& entries, std::string& problem,
                                    int32_t periodSeconds = MoveWindow::kLongestPeriod);

// The section's keys, in the order Save writes them.
std::vector<std::string> KeyNames();

// Reads the [Rotator] section of a settings file (keys AzimuthRange, ElevationRange, BelowHorizon,
// Deadband, IntervalSeconds, MoveWindow, MoveWhen); a missing or unusable value takes its default. A
// park position the rotator cannot reach, and a move window or MoveWhen that cannot be used (not
// "SS-SS", not within the file's [Station] Period), read as not given, with a line in the journal.
// A missing file reads as all defaults.
Settings Load(Journal::Journal& journal, const std::string& settingsFile);

// Writes the keys into the [Rotator] section under one lock (MoveWindow and MoveWhen emptied when
// they are not set and the file has them), leaving every other line of the file as it is. Raises
// EIniWriteError.
void Save(const std::string& settingsFile, const Settings& settings);

}  // namespace RotatorSettings
