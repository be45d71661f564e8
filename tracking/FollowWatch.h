// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Whether a rotator follows what it is commanded: the gap between the commanded and the read-back
// position of one axis, in the rotator's own degrees, watched over time. A gap above the limit that
// has not shrunk by at least the limit within the allowed time means the rotator does not follow
// (a jammed motor, a tripped limit switch, a broken sensor cable); a rotator turning toward its
// target, however far away, makes progress and never alarms. No clock of its own: each reading
// comes with the time it was taken.
namespace FollowWatch {

using Clock = std::chrono::steady_clock;

enum class Action { kReport, kStop, kPark };

// The [Station] keys FollowLimit, FollowTime and FollowAction.
struct Settings {
    double limitDegrees = 2.0;  // 0: the check is off
    int seconds = 60;
    Action action = Action::kReport;
    bool operator==(const Settings&) const = default;
};
inline constexpr double kLargestLimit = 180.0;
inline constexpr int kLongestSeconds = 3600;

// "0" to "180" (decimals allowed); "1" to "3600"; "report", "stop" or "park" (any case). nullopt for
// anything else.
std::optional<double> ParseLimit(std::string_view text);
std::optional<int> ParseSeconds(std::string_view text);
std::optional<Action> ParseAction(std::string_view text);
const char* ActionText(Action action);

// The [Station] section of a settings file; a missing or unusable value takes its default.
Settings Load(const std::string& settingsFile);

// The gap between commanded and actual in degrees, never negative; an azimuth wraps around at 360
// (359.5 and 0.5 are 1 degree apart).
double Gap(double commanded, double actual, bool wraps);

enum class Change { kNone, kAlarm, kCleared };

// One axis.
class Watch {
public:
    // A reading of the axis at `now`: what it was last commanded and where it stands. Gives kAlarm
    // when the axis has just been found not following, kCleared when an alarmed axis has closed
    // the gap.
    Change Observe(const Settings& settings, double commanded, double actual, bool wraps, Clock::time_point now);
    // Forgets the axis (the check turned off, another rotator, no readings).
    void Reset();

    bool Alarmed() const { return alarmed_; }
    // How long the gap has stood without shrinking by the limit, at the latest reading.
    std::chrono::seconds Stuck() const;
    double Commanded() const { return commanded_; }
    double Actual() const { return actual_; }

private:
    bool watching_ = false;  // a gap above the limit is being timed
    bool alarmed_ = false;
    double referenceGap_ = 0.0;       // the gap to shrink from, around the circle
    double referenceStraight_ = 0.0;  // and as the plain difference
    Clock::time_point since_{};       // when the rotator last made progress
    Clock::time_point latest_{};
    double commanded_ = 0.0;
    double actual_ = 0.0;
};

// "Azimuth rotator not following - commanded 212.4, at 180.0 for 75 s".
std::string AlarmText(const char* axisName, const Watch& watch);

}  // namespace FollowWatch
