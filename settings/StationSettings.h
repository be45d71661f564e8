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
