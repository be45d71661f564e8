// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlanSettings.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "IniFile.h"
#include "Location.h"
#include "PointingSettings.h"
#include "Win1252.h"

namespace PlanSettings {

namespace {

constexpr char kDxKey[] = "DX";
constexpr char kFrequencyKey[] = "Frequency";
constexpr char kMinElevationKey[] = "MinElevation";
constexpr char kDxMinElevationKey[] = "DxMinElevation";
constexpr char kDaysKey[] = "Days";

constexpr long double kLowestMegahertz = 0.001, kHighestMegahertz = 1e6;
constexpr long double kHighestMinimum = 89;
constexpr int32_t kMostDays = 366;

constexpr std::string_view kSeparators = " \t,;";

std::string Quoted(std::string_view text) {
    return '"' + win1252::ToUtf8(std::string(text)) + '"';
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    while (true) {
        const std::size_t first = text.find_first_not_of(kSeparators);
        if (first == std::string_view::npos) return words;
        text.remove_prefix(first);
        const std::size_t end = std::min(text.find_first_of(kSeparators), text.size());
        words.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
}

}  // namespace

Parsed<std::vector<std::string>> ParseLocators(std::string_view text) {
    const std::vector<std::string_view> words = Words(text);
    if (words.empty()) return {std::nullopt, "Enter the DX station's locator, e.g. FN20XR"};
    if (words.size() > kMostDxStations)
        return {std::nullopt, "Give at most " + std::to_string(kMostDxStations) + " DX locators"};
    std::vector<std::string> locators;
    for (const std::string_view word : words) {
        const std::string locator(word);
        if (const std::string problem = LocatorProblem(locator); !problem.empty())
            return {std::nullopt, "The DX locator " + Quoted(word) + ' ' + problem};
        locators.push_back(locator);
    }
    return {locators, {}};
}

Parsed<long double> ParseFrequency(std::string_view text) {
    if (const auto value = PointingSettings::Decimal(text, kLowestMegahertz, kHighestMegahertz)) return {value, {}};
    return {std::nullopt, "The frequency " + Quoted(text) + " is not a number of MHz from 0.001 to 1000000"};
}

Parsed<long double> ParseMinElevation(std::string_view text) {
    if (const auto value = PointingSettings::Decimal(text, 0, kHighestMinimum)) return {value, {}};
    return {std::nullopt, "The minimum elevation " + Quoted(text) + " is not a number of degrees from 0 to 89"};
}

Parsed<int32_t> ParseDays(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    int32_t days = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), days);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || days < 1 || days > kMostDays)
        return {std::nullopt, "The number of days " + Quoted(text) + " is not a whole number from 1 to 366"};
    return {days, {}};
}

std::string LocatorsText(const std::vector<std::string>& locators) {
    std::string text;
    for (const std::string& locator : locators) text += (text.empty() ? "" : " ") + locator;
    return text;
}

std::string NumberText(long double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10Lg", value);
    return text;
}

std::string LocatorProblem(const std::string& locator) {
    const std::size_t at = Location::LocatorFault(locator);
    if (at == std::string::npos) return {};
    if (at == locator.size()) return "is too short; give at least four characters, e.g. JO22IC";
    return "has \"" + win1252::ToUtf8(locator.substr(at, 1)) + "\" as character " + std::to_string(at + 1) +
           ", which must be " + Location::LocatorRule(at);
}

std::string NoWindowText(const std::string& dxLocator, int32_t days, const eme_plan::Shortfall& shortfall,
                         long double minElevation, long double dxMinElevation) {
    const auto degrees = [](long double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.1Lf\u00B0", value);
        return std::string(text);
    };
    std::string reason;
    if (!shortfall.risesAboveMinimum || !shortfall.dxRisesAboveMinimum) {
        reason = "the Moon never rises above ";
        if (!shortfall.risesAboveMinimum) reason += degrees(minElevation) + " here";
        if (!shortfall.risesAboveMinimum && !shortfall.dxRisesAboveMinimum) reason += " nor above ";
        if (!shortfall.dxRisesAboveMinimum) reason += degrees(dxMinElevation) + " there";
    } else if (shortfall.together) {
        reason = "while both see the Moon it stands at most " + degrees(shortfall.highest) + " here and " +
                 degrees(shortfall.dxHighest) + " there";
    } else {
        reason = "the Moon is never above the horizon here and there at once";
    }
    return "No window with " + win1252::ToUtf8(dxLocator) + " in " + std::to_string(days) +
           (days == 1 ? " day: " : " days: ") + reason;
}

pointing::Station StationOf(const std::string& locator) {
    return PointingSettings::LocatorPoint(locator).value_or(pointing::Station{});
}

pointing::Station HomeStation(const std::string& locator, const std::optional<pointing::Station>& exact) {
    return exact ? *exact : StationOf(locator);
}

std::vector<std::string> KeyNames() {
    return {kDxKey, kFrequencyKey, kMinElevationKey, kDxMinElevationKey, kDaysKey};
}

Settings Read(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    const Settings defaults;
    Settings settings;
    const std::string dx = ini.ReadString(kSection, kDxKey, "");
    for (const std::string_view word : Words(dx)) {
        const std::string locator(word);
        if (LocatorProblem(locator).empty() && settings.dxLocators.size() < kMostDxStations)
            settings.dxLocators.push_back(locator);
    }
    const auto number = [&](const char* key, Parsed<long double> (*parse)(std::string_view), long double fallback) {
        return parse(ini.ReadString(kSection, key, "")).value.value_or(fallback);
    };
    settings.frequencyMhz = number(kFrequencyKey, ParseFrequency, defaults.frequencyMhz);
    settings.minElevation = number(kMinElevationKey, ParseMinElevation, defaults.minElevation);
    settings.dxMinElevation = number(kDxMinElevationKey, ParseMinElevation, defaults.dxMinElevation);
    settings.days = ParseDays(ini.ReadString(kSection, kDaysKey, "")).value.value_or(defaults.days);
    return settings;
}

std::vector<std::pair<std::string, std::string>> KeyTexts(const Settings& settings) {
    return {{kDxKey, LocatorsText(settings.dxLocators)},
            {kFrequencyKey, NumberText(settings.frequencyMhz)},
            {kMinElevationKey, NumberText(settings.minElevation)},
            {kDxMinElevationKey, NumberText(settings.dxMinElevation)},
            {kDaysKey, std::to_string(settings.days)}};
}

void Write(const std::string& settingsFile, const Settings& settings) {
    TIniFile ini(settingsFile);
    ini.LockForUpdate();
    for (const auto& [key, text] : KeyTexts(settings)) ini.WriteString(kSection, key, text);
}

}  // namespace PlanSettings
