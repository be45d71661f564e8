// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Targets.h"
#include "pointing.h"

// The [Pointing] section of the settings file: precise pointing, the body to follow, the station's exact
// place and the air for the refraction. Without the section everything is off or absent, and the position
// update is the whole-degree Moon of the six-character locator's corner, exactly as before.
//
//   Precise=1          precise pointing (default 0)
//   Target=Sun         Moon (default) or Sun, in any letter case
//   Latitude=52.0912   the station in degrees, north positive, and
//   Longitude=4.6711   east positive; both are needed. Without them:
//   Locator=JO22IC45   an 8- or 10-character locator gives the centre of its square
//   Height=12          metres above sea level (default 0), with either of the above
//   Refraction=1       add the atmospheric refraction in precise mode (default 0)
//   Temperature=10     °C (default 10), from -90 to 60
//   Pressure=1010      hPa (default 1010), from 0 to 1100
//
// A value that cannot be used (not a number, out of range) takes its default; numbers use a point.
namespace PointingSettings {

inline constexpr char kSection[] = "Pointing";

struct Settings {
    bool precise = false;
    Targets::Target target;                    // the Moon unless the file names another body
    std::optional<pointing::Station> station;  // exact coordinates, used in precise mode
    pointing::Atmosphere atmosphere;           // refraction used in precise mode when switched on
};

// Reads the section from the settings file; a missing file or section gives the defaults.
Settings Read(const std::string& settingsFile);

// The centre of an 8-character (extended square, 30″ × 15″) or 10-character (1.25″ × 0.625″) Maidenhead
// locator, either letter case; nothing for any other length or a character out of its range.
std::optional<pointing::Station> LocatorCentre(std::string_view locator);

// A division of the Maidenhead grid: its south-west corner (degrees north, degrees east) and its size.
struct LocatorSquare {
    long double south, west;
    long double height, width;
};

// The smallest division a locator names: the square for 4 or 5 characters, the sub-square for 6 or 7, the
// extended square for 8 or 9 and its 24 × 24 division for 10 (a longer part that is out of range gives way
// to the sub-square). Nothing when the first six characters (four for a shorter locator) name no place.
std::optional<LocatorSquare> SmallestSquare(std::string_view locator);

// The point that stands for a locator in precise pointing, planning and Doppler, as EME operators take it:
// the centre of its smallest square (SmallestSquare); nothing when the locator names no place.
std::optional<pointing::Station> LocatorPoint(std::string_view locator);

// When the exact place of the settings lies outside the locator's smallest square: where it lies, in UTF-8,
// "outside the locator's square QF56OD, 1412 km from its centre" (great-circle km on a sphere of the mean
// radius). Empty when no exact place is given, it lies inside, or the locator names no place.
std::string PlaceAgainstLocator(const Settings& settings, const std::string& locator);

// The station precise pointing works from: the exact place of the settings when given, otherwise the
// locator's point (LocatorPoint), at height 0.
pointing::Station PreciseStation(const Settings& settings, const std::string& locator);

// A decimal number (a point, an optional sign, blanks around it) from lowest to highest; nothing otherwise.
std::optional<long double> Decimal(std::string_view text, long double lowest, long double highest);

// A latitude, longitude or height given as text (the settings file, the command line): a decimal number
// within the range; nothing otherwise.
std::optional<long double> Latitude(std::string_view text);
std::optional<long double> Longitude(std::string_view text);
std::optional<long double> Height(std::string_view text);
std::optional<long double> Temperature(std::string_view text);
std::optional<long double> Pressure(std::string_view text);

// The section as the settings file keeps it, key by key, as text ("" for a key that is absent). The
// station window edits these and writes them back.
struct Texts {
    std::string precise;  // "1" on, "0" (or absent) off
    std::string target;   // "Moon" or "Sun"
    std::string latitude;
    std::string longitude;
    std::string locator;  // 8 or 10 characters
    std::string height;
    std::string refraction;  // "1" on, "0" (or absent) off
    std::string temperature;
    std::string pressure;
    bool operator==(const Texts&) const = default;
};

// The keys in the order they are written, each with its text.
struct KeyText {
    enum class Kind { kSwitch, kName, kValue };  // how two texts are compared
    const char* key;
    std::string Texts::*text;
    Kind kind;
    const char* absent;  // what an absent key means
};
extern const KeyText kKeys[9];

// The keys' names, in the order of kKeys.
std::vector<std::string> KeyNames();

Texts ReadTexts(const std::string& settingsFile);
// Each key with its text, in the order of kKeys.
std::vector<std::pair<std::string, std::string>> KeyTexts(const Texts& texts);

// What is wrong with texts an operator entered, as a message for them; empty when all can be used.
// Empty numbers and an empty locator stand for "not given"; latitude and longitude go together.
std::string Problem(const Texts& texts);

// Writes each key whose meaning differs from the file's (a switch compared as on or off, the target
// in any letter case), leaving every other line of the file as it is, all under one lock. Nothing
// is written when nothing changed. Raises EIniWriteError (also for a file that cannot be locked).
void Write(const std::string& settingsFile, const Texts& texts);

// The target's direction at a UTC day number through the precise path: in precise mode from
// PreciseStation(settings, locator), else from the locator's place as Location gives it (longitudeWest and
// latitude, at sea level); refraction only in precise mode.
pointing::Direction Direction(const Settings& settings, double utcDayNumber, const std::string& locator,
                              long double longitudeWest, long double latitude);

}  // namespace PointingSettings
