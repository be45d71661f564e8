// SPDX-License-Identifier: GPL-3.0-or-later
#include "PointingSettings.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "IniFile.h"

namespace PointingSettings {

namespace {

// The ranges a value must be in; the defaults of what is missing or out of range come from Settings.
constexpr long double kLowestHeight = -500, kHighestHeight = 9000;         // metres: the Dead Sea to Everest
constexpr long double kLowestTemperature = -90, kHighestTemperature = 60;  // °C
constexpr long double kLowestPressure = 0, kHighestPressure = 1100;        // hPa

std::optional<long double> Number(std::string_view text, long double lowest, long double highest) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

bool Switch(const TIniFile& ini, const char* key) {
    return ini.ReadInteger(kSection, key, 0) != 0;
}

// One pair of locator characters: its index within its range, or nothing.
std::optional<int> Letter(char c, char last) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper < 'A' || upper > last) return std::nullopt;
    return upper - 'A';
}
std::optional<int> Digit(char c) {
    if (c < '0' || c > '9') return std::nullopt;
    return c - '0';
}

}  // namespace

std::optional<long double> Latitude(std::string_view text) {
    return Number(text, -90, 90);
}
std::optional<long double> Longitude(std::string_view text) {
    return Number(text, -180, 180);
}
std::optional<long double> Height(std::string_view text) {
    return Number(text, kLowestHeight, kHighestHeight);
}

std::optional<pointing::Station> LocatorCentre(std::string_view locator) {
    if (locator.size() != 8 && locator.size() != 10) return std::nullopt;
    // Field 20° × 10°, square 2° × 1°, sub-square 5′ × 2.5′, extended square 30″ × 15″, and on 10
    // characters a 24 × 24 division of that.
    const auto fieldLon = Letter(locator[0], 'R'), fieldLat = Letter(locator[1], 'R');
    const auto squareLon = Digit(locator[2]), squareLat = Digit(locator[3]);
    const auto subLon = Letter(locator[4], 'X'), subLat = Letter(locator[5], 'X');
    const auto extLon = Digit(locator[6]), extLat = Digit(locator[7]);
    if (!fieldLon || !fieldLat || !squareLon || !squareLat || !subLon || !subLat || !extLon || !extLat) {
        return std::nullopt;
    }
    long double longitude =
        -180.0L + *fieldLon * 20.0L + *squareLon * 2.0L + *subLon / 12.0L + *extLon / 120.0L;
    long double latitude =
        -90.0L + *fieldLat * 10.0L + *squareLat * 1.0L + *subLat / 24.0L + *extLat / 240.0L;
    long double width = 1.0L / 120, height = 1.0L / 240;
    if (locator.size() == 10) {
        const auto fineLon = Letter(locator[8], 'X'), fineLat = Letter(locator[9], 'X');
        if (!fineLon || !fineLat) return std::nullopt;
        width /= 24;
        height /= 24;
        longitude += *fineLon * width;
        latitude += *fineLat * height;
    }
    return pointing::Station{latitude + height / 2, longitude + width / 2, 0.0L};
}

Settings Read(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    Settings settings;
    settings.precise = Switch(ini, "Precise");
    std::string target = ini.ReadString(kSection, "Target", "Moon");
    for (char& c : target) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (target == "sun") settings.target = pointing::Target::Sun;

    const auto latitude = Latitude(ini.ReadString(kSection, "Latitude", ""));
    const auto longitude = Longitude(ini.ReadString(kSection, "Longitude", ""));
    if (latitude && longitude) {
        settings.station = pointing::Station{*latitude, *longitude, 0.0L};
    } else {
        settings.station = LocatorCentre(ini.ReadString(kSection, "Locator", ""));
    }
    if (settings.station)
        settings.station->heightMetres = Height(ini.ReadString(kSection, "Height", "")).value_or(0);

    settings.atmosphere.refraction = Switch(ini, "Refraction");
    settings.atmosphere.temperatureCelsius =
        Number(ini.ReadString(kSection, "Temperature", ""), kLowestTemperature, kHighestTemperature)
            .value_or(settings.atmosphere.temperatureCelsius);
    settings.atmosphere.pressureHpa =
        Number(ini.ReadString(kSection, "Pressure", ""), kLowestPressure, kHighestPressure)
            .value_or(settings.atmosphere.pressureHpa);
    return settings;
}

pointing::Direction Direction(const Settings& settings, double utcDayNumber, long double longitudeWest,
                              long double latitude) {
    const pointing::Station locatorPlace{latitude, -longitudeWest, 0.0L};
    const pointing::Station station =
        settings.precise ? settings.station.value_or(locatorPlace) : locatorPlace;
    const pointing::Atmosphere atmosphere = settings.precise ? settings.atmosphere : pointing::Atmosphere{};
    return pointing::PrecisePosition(settings.target, utcDayNumber, station, atmosphere);
}

const char* TargetName(pointing::Target target) {
    return target == pointing::Target::Sun ? "Sun" : "Moon";
}

}  // namespace PointingSettings
