// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotatorSettings.h"

#include <charconv>

#include "IniFile.h"

namespace RotatorSettings {

Settings Current;

namespace {

constexpr char kAzimuthRangeKey[] = "AzimuthRange";
constexpr char kElevationRangeKey[] = "ElevationRange";
constexpr char kBelowHorizonKey[] = "BelowHorizon";
constexpr char kDeadbandKey[] = "Deadband";
constexpr char kIntervalSecondsKey[] = "IntervalSeconds";

constexpr char kFollow[] = "follow";
constexpr char kPark[] = "park:";
constexpr char kWait[] = "wait";

// The longest deadband and interval kept: half a turn, and a day.
constexpr int32_t kLargestDeadband = 180;
constexpr int32_t kLongestIntervalSeconds = 86400;

// Whole degrees in decimal digits only (no sign, no blanks), up to `highest`.
std::optional<int32_t> Degrees(std::string_view text, int32_t highest) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.front() == '-' || value > highest)
        return std::nullopt;
    return value;
}

// The two whole numbers of "A<separator>B".
std::optional<std::pair<int32_t, int32_t>> Pair(std::string_view text, char separator, int32_t highest) {
    const std::size_t at = text.find(separator);
    if (at == std::string_view::npos) return std::nullopt;
    const std::optional<int32_t> first = Degrees(text.substr(0, at), highest);
    const std::optional<int32_t> second = Degrees(text.substr(at + 1), highest);
    if (!first || !second) return std::nullopt;
    return std::pair{*first, *second};
}

}  // namespace

bool PointsPlainly(const Settings& settings) {
    return settings.azimuthRange == kStopAtNorth && settings.elevation == ElevationRange{} &&
           settings.belowHorizon.policy == BelowHorizon::kFollow;
}

std::optional<int32_t> ParseAzimuthRange(std::string_view text) {
    const auto range = Pair(text, '-', kLargestRange);
    if (!range || range->first != 0 || range->second < kStopAtNorth) return std::nullopt;
    return range->second;
}

std::optional<ElevationRange> ParseElevationRange(std::string_view text) {
    const auto range = Pair(text, '-', kHighestElevation);
    if (!range || range->first > range->second) return std::nullopt;
    return ElevationRange{range->first, range->second};
}

std::optional<BelowHorizonPolicy> ParseBelowHorizon(std::string_view text) {
    if (text == kFollow) return BelowHorizonPolicy{};
    if (text == kWait) return BelowHorizonPolicy{BelowHorizon::kWait, 0, 0};
    if (!text.starts_with(kPark)) return std::nullopt;
    const auto park = Pair(text.substr(std::string_view(kPark).size()), ',', kLargestRange);
    if (!park || park->second > kHighestElevation) return std::nullopt;
    return BelowHorizonPolicy{BelowHorizon::kPark, park->first, park->second};
}

std::string AzimuthRangeText(int32_t range) { return "0-" + std::to_string(range); }

std::string ElevationRangeText(const ElevationRange& range) {
    return std::to_string(range.minimum) + "-" + std::to_string(range.maximum.value_or(kHighestElevation));
}

std::string BelowHorizonText(const BelowHorizonPolicy& policy) {
    switch (policy.policy) {
        case BelowHorizon::kPark:
            return kPark + std::to_string(policy.parkAzimuth) + "," + std::to_string(policy.parkElevation);
        case BelowHorizon::kWait:
            return kWait;
        case BelowHorizon::kFollow:
            break;
    }
    return kFollow;
}

Settings Load(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    Settings settings;
    settings.azimuthRange = ParseAzimuthRange(ini.ReadString(kSection, kAzimuthRangeKey, "")).value_or(kStopAtNorth);
    const std::string elevation = ini.ReadString(kSection, kElevationRangeKey, "");
    if (!elevation.empty()) settings.elevation = ParseElevationRange(elevation).value_or(ElevationRange{});
    settings.belowHorizon = ParseBelowHorizon(ini.ReadString(kSection, kBelowHorizonKey, kFollow)).value_or(BelowHorizonPolicy{});
    const int32_t deadband = ini.ReadInteger(kSection, kDeadbandKey, 0);
    settings.deadband = deadband >= 0 && deadband <= kLargestDeadband ? deadband : 0;
    const int32_t interval = ini.ReadInteger(kSection, kIntervalSecondsKey, 0);
    settings.intervalSeconds = interval > 0 && interval <= kLongestIntervalSeconds ? interval : 0;
    return settings;
}

void Save(const std::string& settingsFile, const Settings& settings) {
    TIniFile ini(settingsFile);
    ini.WriteString(kSection, kAzimuthRangeKey, AzimuthRangeText(settings.azimuthRange));
    ini.WriteString(kSection, kElevationRangeKey, ElevationRangeText(settings.elevation));
    ini.WriteString(kSection, kBelowHorizonKey, BelowHorizonText(settings.belowHorizon));
    ini.WriteInteger(kSection, kDeadbandKey, settings.deadband);
    ini.WriteInteger(kSection, kIntervalSecondsKey, settings.intervalSeconds);
}

}  // namespace RotatorSettings
