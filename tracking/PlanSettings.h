// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "eme_plan.h"
#include "pointing.h"

// The station window's planning page keeps its inputs in the [Plan] section of the settings file:
//
//   DX=FN20XR PM95VR   the DX stations' Maidenhead locators, separated by blanks or commas
//   Frequency=1296     MHz, for the Doppler shifts (default 1296)
//   MinElevation=5     the lowest elevation of the Moon that counts at the home station, degrees
//   DxMinElevation=5   the same at the DX stations (both default 5)
//   Days=1             how far ahead the windows are listed (default 1)
//
// Nothing else reads the section, and the page writes it only when the operator applies new values; a
// value that cannot be used takes its default, a locator that names no place is left out.
namespace PlanSettings {

inline constexpr char kSection[] = "Plan";
inline constexpr std::size_t kMostDxStations = 8;

struct Settings {
    std::vector<std::string> dxLocators;  // Windows-1252, each naming a place
    long double frequencyMhz = 1296;
    long double minElevation = 5;
    long double dxMinElevation = 5;
    int32_t days = 1;
    bool operator==(const Settings&) const = default;
};

// What an operator types, checked: the value, or a sentence saying what is wrong with the text.
template <typename T>
struct Parsed {
    std::optional<T> value;
    std::string problem;
};

// One to kMostDxStations locators, each naming a place (see Location::LocatorFault).
Parsed<std::vector<std::string>> ParseLocators(std::string_view text);
// 0.001 to 1000000 MHz.
Parsed<long double> ParseFrequency(std::string_view text);
// 0 to 89 degrees.
Parsed<long double> ParseMinElevation(std::string_view text);
// A whole number of days from 1 to 366.
Parsed<int32_t> ParseDays(std::string_view text);

// The texts the parsers read, as the page shows them and the file keeps them.
std::string LocatorsText(const std::vector<std::string>& locators);
std::string NumberText(long double value);

// Why a locator names no place ("is too short; ...", "has \"0\" as character 3, which must be ..."), or
// empty when it names one.
std::string LocatorProblem(const std::string& locator);

// What a plan says for a DX station with no window over `days` days, in UTF-8, e.g. "No window with FN20XR
// in 2 days: while both see the Moon it stands at most 4.6° here and 31.2° there" (one decimal), or "...:
// the Moon never rises above 5.0° here" when a station never has it above its minimum.
std::string NoWindowText(const std::string& dxLocator, int32_t days, const eme_plan::Shortfall& shortfall,
                         long double minElevation, long double dxMinElevation);

// The point that stands for a locator (PointingSettings::LocatorPoint: the centre of its sub-square, or of
// its square for four characters), at height 0.
pointing::Station StationOf(const std::string& locator);

// The home station a plan is made for: the station's exact coordinates when the operator gave them
// (the [Pointing] section, or --lat/--lon on the command line), otherwise the place its locator names.
pointing::Station HomeStation(const std::string& locator, const std::optional<pointing::Station>& exact);

// The section's keys, in the order Write puts them.
std::vector<std::string> KeyNames();

// Reads the section; a missing file or section gives the defaults and no DX station.
Settings Read(const std::string& settingsFile);

// The five keys with their texts, as Write puts them in the file.
std::vector<std::pair<std::string, std::string>> KeyTexts(const Settings& settings);

// Writes the five keys, leaving every other line of the file as it is. Raises EIniWriteError.
void Write(const std::string& settingsFile, const Settings& settings);

}  // namespace PlanSettings
