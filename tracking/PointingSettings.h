// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

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
    pointing::Target target = pointing::Target::Moon;
    std::optional<pointing::Station> station;  // exact coordinates, used in precise mode
    pointing::Atmosphere atmosphere;           // refraction used in precise mode when switched on
};

// Reads the section from the settings file; a missing file or section gives the defaults.
Settings Read(const std::string& settingsFile);

// The centre of an 8-character (extended square, 30″ × 15″) or 10-character (1.25″ × 0.625″) Maidenhead
// locator, either letter case; nothing for any other length or a character out of its range.
std::optional<pointing::Station> LocatorCentre(std::string_view locator);

// A latitude, longitude or height given as text (the settings file, the command line): a decimal number
// within the range; nothing otherwise.
std::optional<long double> Latitude(std::string_view text);
std::optional<long double> Longitude(std::string_view text);
std::optional<long double> Height(std::string_view text);

// The target's direction at a UTC day number through the precise path: for the station of the settings in
// precise mode (else the locator's place, longitudeWest and latitude as Location gives them, at sea level)
// and with refraction only in precise mode.
pointing::Direction Direction(const Settings& settings, double utcDayNumber, long double longitudeWest,
                              long double latitude);

// "Moon" or "Sun".
const char* TargetName(pointing::Target target);

}  // namespace PointingSettings
