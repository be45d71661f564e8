// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotatorSettings.h"

#include <algorithm>
#include <charconv>

#include "IniFile.h"
#include "Journal.h"
#include "StationSettings.h"

namespace RotatorSettings {

namespace {

constexpr char kAzimuthRangeKey[] = "AzimuthRange";
constexpr char kElevationRangeKey[] = "ElevationRange";
constexpr char kBelowHorizonKey[] = "BelowHorizon";
constexpr char kDeadbandKey[] = "Deadband";
constexpr char kIntervalSecondsKey[] = "IntervalSeconds";
constexpr char kMoveWindowKey[] = "MoveWindow";
constexpr char kMoveWhenKey[] = "MoveWhen";

constexpr char kFollow[] = "follow";
constexpr char kPark[] = "park:";
constexpr char kWait[] = "wait";

// The longest deadband and interval kept: half a turn, and a day.
constexpr int32_t kLargestDeadband = 180;
constexpr int32_t kLongestIntervalSeconds = 86400;

// Whole numbers from the operator's fields: blanks around them do not matter.
std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Whole degrees in decimal digits only (no sign, no blanks), up to `highest`.
std::optional<int32_t> Degrees(std::string_view text, int32_t highest) {
    if (text.empty() || text.size() > 9) return std::nullopt;
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

std::optional<bool> ParseMoveWhen(std::string_view text) {
    if (text.empty()) return false;
    if (text == kNotTransmitting) return true;
    return std::nullopt;
}

std::string MoveWindowProblem(const Settings& settings, int32_t periodSeconds) {
    if (!settings.moveWindow || MoveWindow::Fits(*settings.moveWindow, periodSeconds)) return {};
    return "Move window " + MoveWindow::Text(*settings.moveWindow) + " does not fit the " +
           std::to_string(periodSeconds) + "-second period: its seconds run from 0 to " +
           std::to_string(periodSeconds - 1) + ".";
}

std::string ParkProblem(const Settings& settings) {
    const BelowHorizonPolicy& park = settings.belowHorizon;
    if (park.policy != BelowHorizon::kPark) return {};
    std::string problem;
    if (park.parkAzimuth > settings.azimuthRange) {
        problem = "Park azimuth " + std::to_string(park.parkAzimuth) + " lies outside the azimuth range " +
                  AzimuthRangeText(settings.azimuthRange) + ".";
    }
    const ElevationRange& limits = settings.elevation;
    if (park.parkElevation < limits.minimum || (limits.maximum && park.parkElevation > *limits.maximum)) {
        if (!problem.empty()) problem += ' ';
        problem += "Park elevation " + std::to_string(park.parkElevation) + " lies outside the elevation range " +
                   ElevationRangeText(limits) + ".";
    }
    return problem;
}

std::string AzimuthRangeText(int32_t range) {
    return "0-" + std::to_string(range);
}

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

std::vector<std::string> KeyNames() {
    return {kAzimuthRangeKey,    kElevationRangeKey, kBelowHorizonKey, kDeadbandKey,
            kIntervalSecondsKey, kMoveWindowKey,     kMoveWhenKey};
}

Settings Load(Journal::Journal& journal, const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    Settings settings;
    settings.azimuthRange = ParseAzimuthRange(ini.ReadString(kSection, kAzimuthRangeKey, "")).value_or(kStopAtNorth);
    const std::string elevation = ini.ReadString(kSection, kElevationRangeKey, "");
    if (!elevation.empty()) settings.elevation = ParseElevationRange(elevation).value_or(ElevationRange{});
    settings.belowHorizon =
        ParseBelowHorizon(ini.ReadString(kSection, kBelowHorizonKey, kFollow)).value_or(BelowHorizonPolicy{});
    if (const std::string problem = ParkProblem(settings); !problem.empty()) {
        journal.Add("Settings: [" + std::string(kSection) + "] " + kBelowHorizonKey + "=" +
                    BelowHorizonText(settings.belowHorizon) + " not used: " + problem);
        settings.belowHorizon = {};
    }
    const int32_t deadband = ini.ReadInteger(kSection, kDeadbandKey, 0);
    settings.deadband = deadband >= 0 && deadband <= kLargestDeadband ? deadband : 0;
    const int32_t interval = ini.ReadInteger(kSection, kIntervalSecondsKey, 0);
    settings.intervalSeconds = interval > 0 && interval <= kLongestIntervalSeconds ? interval : 0;

    // A hand-edited window that cannot be used moves at any time, as without one; the journal says so.
    const auto notUsed = [&journal](const char* key, const std::string& text, const std::string& why) {
        journal.Add("Settings: [" + std::string(kSection) + "] " + key + "=" + text + " not used: " + why);
    };
    if (const std::string window = ini.ReadString(kSection, kMoveWindowKey, ""); !window.empty()) {
        settings.moveWindow = MoveWindow::Parse(window);
        if (!settings.moveWindow) notUsed(kMoveWindowKey, window, "not SS-SS (seconds within the period, e.g. 50-59)");
    }
    if (const std::string problem = MoveWindowProblem(settings, StationSettings::PeriodSeconds(settingsFile));
        !problem.empty()) {
        notUsed(kMoveWindowKey, MoveWindow::Text(*settings.moveWindow), problem);
        settings.moveWindow.reset();
    }
    const std::string when = ini.ReadString(kSection, kMoveWhenKey, "");
    const std::optional<bool> notTransmitting = ParseMoveWhen(when);
    if (!notTransmitting) notUsed(kMoveWhenKey, when, std::string("not ") + kNotTransmitting + " or empty");
    settings.moveWhenNotTransmitting = notTransmitting.value_or(false);
    return settings;
}

std::vector<std::pair<std::string, std::string>> KeyTexts(const Settings& settings) {
    // "0-180" would read back as a limit at 180, which is not the plain behaviour.
    const std::string elevation =
        settings.elevation == ElevationRange{} ? std::string() : ElevationRangeText(settings.elevation);
    std::vector<std::pair<std::string, std::string>> texts{
        {kAzimuthRangeKey, AzimuthRangeText(settings.azimuthRange)},
        {kElevationRangeKey, elevation},
        {kBelowHorizonKey, BelowHorizonText(settings.belowHorizon)},
        {kDeadbandKey, std::to_string(settings.deadband)},
        {kIntervalSecondsKey, std::to_string(settings.intervalSeconds)}};
    // Left out while off, so that a section written without them stays as it always was.
    if (settings.moveWindow) texts.emplace_back(kMoveWindowKey, MoveWindow::Text(*settings.moveWindow));
    if (settings.moveWhenNotTransmitting) texts.emplace_back(kMoveWhenKey, kNotTransmitting);
    return texts;
}

Entries ToEntries(const Settings& settings) {
    Entries entries;
    entries.azimuthRange = AzimuthRangeText(settings.azimuthRange);
    entries.elevationMinimum = std::to_string(settings.elevation.minimum);
    if (settings.elevation.maximum) entries.elevationMaximum = std::to_string(*settings.elevation.maximum);
    entries.belowHorizon = settings.belowHorizon.policy;
    if (settings.belowHorizon.policy == BelowHorizon::kPark) {
        entries.parkAzimuth = std::to_string(settings.belowHorizon.parkAzimuth);
        entries.parkElevation = std::to_string(settings.belowHorizon.parkElevation);
    }
    entries.deadband = std::to_string(settings.deadband);
    if (settings.intervalSeconds > 0) entries.intervalSeconds = std::to_string(settings.intervalSeconds);
    if (settings.moveWindow) entries.moveWindow = MoveWindow::Text(*settings.moveWindow);
    entries.moveWhenNotTransmitting = settings.moveWhenNotTransmitting;
    return entries;
}

std::optional<Settings> FromEntries(const Entries& entries, std::string& problem, int32_t periodSeconds) {
    problem.clear();
    const auto add = [&problem](const char* message) {
        if (!problem.empty()) problem += '\n';
        problem += message;
    };
    // An empty field takes `empty`; otherwise whole degrees up to `highest`.
    const auto whole = [](std::string_view text, int32_t highest, std::optional<int32_t> empty) {
        text = Trimmed(text);
        return text.empty() ? empty : Degrees(text, highest);
    };
    Settings settings;
    const std::optional<int32_t> range = ParseAzimuthRange(Trimmed(entries.azimuthRange));
    if (range) settings.azimuthRange = *range;
    else add("Azimuth range: 0-360, or 0-N with N from 361 to 540 for a rotator that turns past north.");

    const std::optional<int32_t> lowest = whole(entries.elevationMinimum, kHighestElevation, 0);
    if (!lowest) add("Elevation minimum: whole degrees from 0 to 180.");
    const bool unlimited = Trimmed(entries.elevationMaximum).empty();
    const std::optional<int32_t> highest = whole(entries.elevationMaximum, kHighestElevation, kHighestElevation);
    if (!highest) add("Elevation maximum: whole degrees from 0 to 180, or empty for no limit.");
    if (lowest && highest) {
        if (*lowest > *highest) add("Elevation: the minimum is above the maximum.");
        settings.elevation = {*lowest, unlimited ? std::nullopt : highest};
    }

    settings.belowHorizon.policy = entries.belowHorizon;
    if (entries.belowHorizon == BelowHorizon::kPark) {
        const std::optional<int32_t> azimuth = whole(entries.parkAzimuth, kLargestRange, std::nullopt);
        const std::optional<int32_t> elevation = whole(entries.parkElevation, kHighestElevation, std::nullopt);
        if (!azimuth) add("Park azimuth: whole degrees from 0 to 540.");
        if (!elevation) add("Park elevation: whole degrees from 0 to 180.");
        settings.belowHorizon.parkAzimuth = azimuth.value_or(0);
        settings.belowHorizon.parkElevation = elevation.value_or(0);
    }

    const std::optional<int32_t> deadband = whole(entries.deadband, kLargestDeadband, 0);
    if (!deadband) add("Deadband: whole degrees from 0 to 180 (0 sends at every tick).");
    settings.deadband = deadband.value_or(0);
    const std::optional<int32_t> interval = whole(entries.intervalSeconds, kLongestIntervalSeconds, 0);
    if (!interval || (!Trimmed(entries.intervalSeconds).empty() && *interval == 0))
        add("Interval: whole seconds from 1 to 86400, or empty for TrackInterval's minutes.");
    settings.intervalSeconds = interval.value_or(0);

    if (const std::string_view window = Trimmed(entries.moveWindow); !window.empty()) {
        settings.moveWindow = MoveWindow::Parse(window);
        if (!settings.moveWindow)
            add("Move window: SS-SS, the seconds of each period in which the rotators may move (e.g. 50-59), or "
                "empty to move at any time.");
    }
    settings.moveWhenNotTransmitting = entries.moveWhenNotTransmitting;

    if (problem.empty()) problem = ParkProblem(settings);
    if (problem.empty()) problem = MoveWindowProblem(settings, periodSeconds);
    if (!problem.empty()) return std::nullopt;
    return settings;
}

void Save(const std::string& settingsFile, const Settings& settings) {
    TIniFile ini(settingsFile);
    ini.LockForUpdate();
    const auto texts = KeyTexts(settings);
    for (const auto& [key, text] : texts) ini.WriteString(kSection, key, text);
    for (const char* key : {kMoveWindowKey, kMoveWhenKey}) {
        const bool written = std::any_of(texts.begin(), texts.end(), [key](const auto& kt) { return kt.first == key; });
        if (!written && !ini.ReadString(kSection, key, "").empty()) ini.WriteString(kSection, key, "");
    }
}

}  // namespace RotatorSettings
