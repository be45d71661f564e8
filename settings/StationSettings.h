// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The station window's own section of the settings file, [Station]: where the window stands and
// whether the station's log is written. The eight settings of [Lunark] are not touched.
namespace StationSettings {

inline constexpr char kSection[] = "Station";

// The section's keys.
std::vector<std::string> KeyNames();

// Log=0 turns the log file off; any other value, or none, leaves it on.
bool LogEnabled(const std::string& settingsFile);

// Period: the length of one transmit or receive period of a weak-signal contact, in seconds (default
// kDefaultPeriod, from 1 to 3600; anything else takes the default).
inline constexpr int32_t kDefaultPeriod = 60;
int32_t PeriodSeconds(const std::string& settingsFile);

// RetrySeconds=N (1 to 3600): while "Cont. track" is ticked, a serial rotator whose last command
// failed is sent the position again every N seconds until it goes out. 0, none or anything else:
// no retries, the next tick sends.
inline constexpr int32_t kMostRetrySeconds = 3600;
int32_t RetrySeconds(const std::string& settingsFile);

// ResumeTracking=1: "Cont. track" is ticked again at start-up when it was ticked as Lunark last
// closed or was killed, as kept in Tracking=0|1. Anything else, or none: never.
bool ResumeTracking(const std::string& settingsFile);
bool TrackingWasOn(const std::string& settingsFile);
// Keeps whether "Cont. track" is ticked (Tracking); raises EIniWriteError.
void WriteTracking(const std::string& settingsFile, bool on);

// Every key of the section, for the reference to name.
// FollowLimit, FollowTime and FollowAction are read by FollowWatch::Load.
inline constexpr const char* kKeys[] = {"Log",          "Left",           "Top",      "Width",  "Height",
                                        "RetrySeconds", "ResumeTracking", "Tracking", "Period", "FollowLimit",
                                        "FollowTime",   "FollowAction"};

struct WindowPlace {
    int32_t Left;
    int32_t Top;
    int32_t Width;
    int32_t Height;
};

// The stored place, or nullopt until one was stored (all four keys present, a size above 0).
std::optional<WindowPlace> ReadWindowPlace(const std::string& settingsFile);

// Writes the four keys; raises EIniWriteError.
void WriteWindowPlace(const std::string& settingsFile, const WindowPlace& place);

}  // namespace StationSettings
