// SPDX-License-Identifier: GPL-3.0-or-later
#include "PointingSettings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "IniFile.h"
#include "Win1252.h"

namespace PointingSettings {

namespace {

// The ranges a value must be in; the defaults of what is missing or out of range come from Settings.
constexpr long double kLowestHeight = -500, kHighestHeight = 9000;         // metres: the Dead Sea to Everest
constexpr long double kLowestTemperature = -90, kHighestTemperature = 60;  // °C
constexpr long double kLowestPressure = 0, kHighestPressure = 1100;        // hPa

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) {
    std::string lower(Trimmed(text));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::optional<long double> Number(std::string_view text, long double lowest, long double highest) {
    text = Trimmed(text);
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

std::optional<long double> Decimal(std::string_view text, long double lowest, long double highest) {
    return Number(text, lowest, highest);
}

std::optional<long double> Latitude(std::string_view text) {
    return Number(text, -90, 90);
}
std::optional<long double> Longitude(std::string_view text) {
    return Number(text, -180, 180);
}
std::optional<long double> Height(std::string_view text) {
    return Number(text, kLowestHeight, kHighestHeight);
}
std::optional<long double> Temperature(std::string_view text) {
    return Number(text, kLowestTemperature, kHighestTemperature);
}
std::optional<long double> Pressure(std::string_view text) {
    return Number(text, kLowestPressure, kHighestPressure);
}

using Kind = KeyText::Kind;
const KeyText kKeys[9] = {
    {"Precise", &Texts::precise, Kind::kSwitch, "0"},       {"Target", &Texts::target, Kind::kName, "Moon"},
    {"Latitude", &Texts::latitude, Kind::kValue, ""},       {"Longitude", &Texts::longitude, Kind::kValue, ""},
    {"Locator", &Texts::locator, Kind::kName, ""},          {"Height", &Texts::height, Kind::kValue, ""},
    {"Refraction", &Texts::refraction, Kind::kSwitch, "0"}, {"Temperature", &Texts::temperature, Kind::kValue, ""},
    {"Pressure", &Texts::pressure, Kind::kValue, ""},
};

std::vector<std::string> KeyNames() {
    std::vector<std::string> names;
    for (const KeyText& key : kKeys) names.emplace_back(key.key);
    return names;
}

Texts ReadTexts(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    Texts texts;
    for (const KeyText& key : kKeys) texts.*key.text = ini.ReadString(kSection, key.key, "");
    return texts;
}

std::vector<std::pair<std::string, std::string>> KeyTexts(const Texts& texts) {
    std::vector<std::pair<std::string, std::string>> list;
    for (const KeyText& key : kKeys) list.emplace_back(key.key, texts.*key.text);
    return list;
}

std::string Problem(const Texts& texts) {
    const std::string targetMessage = "Target: " + Targets::BodyNamesJoined() + ".";
    // Each text with what makes it usable; an empty one is "not given".
    const struct {
        const std::string& text;
        bool usable;
        const char* message;
    } checks[] = {
        {texts.precise, texts.precise == "0" || texts.precise == "1", "Precise: 0 (off) or 1 (on)."},
        {texts.target, Targets::BodyNamed(texts.target).has_value(), targetMessage.c_str()},
        {texts.latitude, Latitude(texts.latitude).has_value(),
         "Latitude: degrees from -90 to 90, north positive, with a decimal point (52.0912)."},
        {texts.longitude, Longitude(texts.longitude).has_value(),
         "Longitude: degrees from -180 to 180, east positive, with a decimal point (4.6711)."},
        {texts.locator, LocatorCentre(Trimmed(texts.locator)).has_value(),
         "Locator: 8 or 10 characters (JO22IC45 or JO22IC45XW)."},
        {texts.height, Height(texts.height).has_value(), "Height: metres above sea level from -500 to 9000."},
        {texts.refraction, texts.refraction == "0" || texts.refraction == "1", "Refraction: 0 (off) or 1 (on)."},
        {texts.temperature, Temperature(texts.temperature).has_value(), "Temperature: degrees Celsius from -90 to 60."},
        {texts.pressure, Pressure(texts.pressure).has_value(), "Pressure: hectopascals from 0 to 1100."},
    };
    std::string problems;
    const auto add = [&problems](const char* message) {
        if (!problems.empty()) problems += '\n';
        problems += message;
    };
    for (const auto& check : checks) {
        if (!Trimmed(check.text).empty() && !check.usable) add(check.message);
    }
    if (Trimmed(texts.latitude).empty() != Trimmed(texts.longitude).empty())
        add("Give both latitude and longitude, or neither.");
    return problems;
}

void Write(const std::string& settingsFile, const Texts& texts) {
    TIniFile ini(settingsFile);
    ini.LockForUpdate();  // compared and written as one change
    const Texts old = ReadTexts(settingsFile);
    // A switch is on as the position update reads it: any integer but 0.
    const auto same = [&ini](const KeyText& key, const std::string& before, const std::string& after) {
        switch (key.kind) {
            case Kind::kSwitch:
                return (ini.ReadInteger(kSection, key.key, 0) != 0) == (Trimmed(after) == "1");
            case Kind::kName:
                return Lower(before.empty() ? key.absent : before) == Lower(after.empty() ? key.absent : after);
            case Kind::kValue:
                break;
        }
        return Trimmed(before) == Trimmed(after);
    };
    for (const KeyText& key : kKeys) {
        if (!same(key, old.*key.text, texts.*key.text)) ini.WriteString(kSection, key.key, Trimmed(texts.*key.text));
    }
}

namespace {

// The division named by the first `pairs` pairs of a locator (2 to 5: the square, the sub-square, the
// extended square or its 24 × 24 division), either letter case; nothing when a character of them is out of
// its range. Field 20° × 10°, square 2° × 1°, sub-square 5′ × 2.5′, extended square 30″ × 15″, and a
// 24 × 24 division of that.
std::optional<LocatorSquare> Division(std::string_view locator, std::size_t pairs) {
    struct Step {
        std::optional<int> (*index)(char);
        long double width, height;
    };
    static constexpr Step kSteps[] = {
        {[](char c) { return Letter(c, 'R'); }, 20.0L, 10.0L},
        {Digit, 2.0L, 1.0L},
        {[](char c) { return Letter(c, 'X'); }, 1.0L / 12, 1.0L / 24},
        {Digit, 1.0L / 120, 1.0L / 240},
        {[](char c) { return Letter(c, 'X'); }, 1.0L / 2880, 1.0L / 5760},
    };
    static_assert(std::size(kSteps) == 5);
    if (pairs < 2 || pairs > std::size(kSteps) || locator.size() < 2 * pairs) return std::nullopt;
    LocatorSquare square{-90.0L, -180.0L, 0, 0};
    for (std::size_t i = 0; i < pairs; ++i) {
        const Step& step = kSteps[i];
        const auto east = step.index(locator[2 * i]), north = step.index(locator[2 * i + 1]);
        if (!east || !north) return std::nullopt;
        square.west += *east * step.width;
        square.south += *north * step.height;
        square.width = step.width;
        square.height = step.height;
    }
    return square;
}

pointing::Station Centre(const LocatorSquare& square) {
    return pointing::Station{square.south + square.height / 2, square.west + square.width / 2, 0.0L};
}

// The great-circle distance between two places on a sphere of the Earth's mean radius, km.
long double DistanceKm(const pointing::Station& a, const pointing::Station& b) {
    constexpr long double kMeanEarthRadiusKm = 6371.0L;
    constexpr long double kRadian = 3.14159265358979323846264338327950288L / 180;
    const long double halfNorth = std::sin((b.latitude - a.latitude) * kRadian / 2);
    const long double halfEast = std::sin((b.longitudeEast - a.longitudeEast) * kRadian / 2);
    const long double haversine =
        halfNorth * halfNorth + std::cos(a.latitude * kRadian) * std::cos(b.latitude * kRadian) * halfEast * halfEast;
    return 2 * kMeanEarthRadiusKm * std::asin(std::sqrt(std::min(1.0L, haversine)));
}

}  // namespace

std::optional<pointing::Station> LocatorCentre(std::string_view locator) {
    if (locator.size() != 8 && locator.size() != 10) return std::nullopt;
    const auto square = Division(locator, locator.size() / 2);
    return square ? std::optional(Centre(*square)) : std::nullopt;
}

std::optional<LocatorSquare> SmallestSquare(std::string_view locator) {
    for (std::size_t pairs = std::min<std::size_t>(locator.size() / 2, 5); pairs >= 2; --pairs) {
        if (const auto square = Division(locator, pairs)) return square;
        // Past the sixth character a locator may carry anything; the sub-square then stands for it.
        if (pairs <= 3) break;
    }
    return std::nullopt;
}

std::optional<pointing::Station> LocatorPoint(std::string_view locator) {
    const auto square = SmallestSquare(locator);
    return square ? std::optional(Centre(*square)) : std::nullopt;
}

pointing::Station PreciseStation(const Settings& settings, const std::string& locator) {
    if (settings.station) return *settings.station;
    return LocatorPoint(locator).value_or(pointing::Station{});
}

std::string PlaceAgainstLocator(const Settings& settings, const std::string& locator) {
    const auto square = SmallestSquare(locator);
    if (!settings.station || !square) return {};
    const pointing::Station& place = *settings.station;
    const bool inside = place.latitude >= square->south && place.latitude <= square->south + square->height &&
                        place.longitudeEast >= square->west && place.longitudeEast <= square->west + square->width;
    if (inside) return {};
    char distance[48];
    std::snprintf(distance, sizeof distance, "%.0Lf", DistanceKm(place, Centre(*square)));
    return "outside the locator's square " + win1252::ToUtf8(locator) + ", " + distance + " km from its centre";
}

Settings Read(const std::string& settingsFile) {
    const TIniFile ini(settingsFile);
    Settings settings;
    settings.precise = Switch(ini, "Precise");
    settings.target = Targets::BodyNamed(ini.ReadString(kSection, "Target", "")).value_or(settings.target);

    const auto latitude = Latitude(ini.ReadString(kSection, "Latitude", ""));
    const auto longitude = Longitude(ini.ReadString(kSection, "Longitude", ""));
    if (latitude && longitude) {
        settings.station = pointing::Station{*latitude, *longitude, 0.0L};
    } else {
        settings.station = LocatorCentre(ini.ReadString(kSection, "Locator", ""));
    }
    if (settings.station) settings.station->heightMetres = Height(ini.ReadString(kSection, "Height", "")).value_or(0);

    settings.atmosphere.refraction = Switch(ini, "Refraction");
    settings.atmosphere.temperatureCelsius =
        Number(ini.ReadString(kSection, "Temperature", ""), kLowestTemperature, kHighestTemperature)
            .value_or(settings.atmosphere.temperatureCelsius);
    settings.atmosphere.pressureHpa =
        Number(ini.ReadString(kSection, "Pressure", ""), kLowestPressure, kHighestPressure)
            .value_or(settings.atmosphere.pressureHpa);
    return settings;
}

pointing::Direction Direction(const Settings& settings, double utcDayNumber, const std::string& locator,
                              long double longitudeWest, long double latitude) {
    const pointing::Station station =
        settings.precise ? PreciseStation(settings, locator) : pointing::Station{latitude, -longitudeWest, 0.0L};
    const pointing::Atmosphere atmosphere = settings.precise ? settings.atmosphere : pointing::Atmosphere{};
    return Targets::DirectionOf(settings.target, utcDayNumber, station, atmosphere);
}

}  // namespace PointingSettings
