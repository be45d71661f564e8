// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "PointingSettings.h"
#include "Targets.h"

// One position update: where the Moon stands for the observer now, rounded for the display, and
// the values the rotator commands carry. Everything lives until the next update.
namespace Position {

extern int32_t Azimuth;      // Moon's azimuth, whole degrees from north through east, no offset
extern int32_t Elevation;    // Moon's elevation, whole degrees, negative below the horizon, no offset
extern int32_t AZtarget;     // Azimuth + AZoffset, lifted by 360 once when negative
extern int32_t ELtarget;     // Elevation + ELoffset, held at 0 when negative
extern std::string AZvalue;  // AZtarget in decimal, at least three characters ("007"); empty: no position
extern std::string ELvalue;  // ELtarget likewise

// The two lines the main window shows, "Azimuth:   " and "Elevation: " followed by the rounded
// position; with no usable locator, the numbers are replaced by "---".
extern std::string AzimuthLine;
extern std::string ElevationLine;

// The followed target's position as computed, before rounding: degrees. While another body than the
// Moon is the target ([Pointing] Target=Sun), that body's, like everything above.
extern long double TargetAzimuth;
extern long double TargetElevation;

// What the latest update followed: the Moon unless the [Pointing] settings name another target.
extern Targets::Target FollowedTarget;

// Where an update takes its [Pointing] settings from: by default the settings file of
// Unit3::ExecutablePath, read at every update so that a hand edit takes effect at once (no path: the
// defaults). Installs a source (an empty one restores the default) and gives back the previous.
using PointingSource = std::function<PointingSettings::Settings()>;
PointingSource SetPointingSource(PointingSource source);
// The [Pointing] settings as the next update will read them.
PointingSettings::Settings Pointing();

// Raised when the Moon computation yields a value that is not a number or cannot be rounded to a
// whole degree; nothing of the state above has changed then.
class EInvalidOp : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The Moon's position for a day number (UTC) and an observer (degrees, longitude positive west,
// latitude positive north): elevation and azimuth in degrees.
using MoonPositionFunction = void (*)(double dayNumber, long double longitudeWest, long double latitude,
                                      long double& elevation, long double& azimuth);

// Installs the Moon computation (nullptr restores the astronomy library's) and returns the previous.
MoonPositionFunction SetMoonPosition(MoonPositionFunction moonPosition);

// The target's elevation and azimuth (degrees) at a day number (UTC) for the observer of the latest
// usable locator (Location::Longitude, Latitude): the Moon by the installed Moon computation; by the
// precise path when the [Pointing] settings ask for precise mode or another target, as UpdatePosition does.
void TargetPositionAt(double dayNumber, long double& elevation, long double& azimuth);

// The same for a body or direction other than the followed target (the Moon and the Sun for another
// program): where the position update would point at it under the [Pointing] settings in force.
void PositionOfAt(const Targets::Target& target, double dayNumber, long double& elevation, long double& azimuth);

// Reads Unit3::Locator, Unit3::AZoffset, Unit3::ELoffset, the [Pointing] settings and the clock and
// sets all of the above. Without precise mode and with the Moon as the target (the defaults) the Moon
// computation above is used; otherwise the precise path of PointingSettings::Direction for the target.
// A locator that names no place (too short, or a character off the grid) leaves no position: both lines show
// "---" and the two command values become empty, so nothing is sent. Errors of the Moon computation propagate
// before anything is changed.
void UpdatePosition();

// Rounds degrees to the nearest whole degree, an exact half to the even neighbour (359.5 -> 360,
// -2.5 -> -2). Raises EInvalidOp for a value that is not finite or beyond 32 bits.
int32_t RoundDegrees(long double degrees);

// The value sent for an azimuth plus offset, and for an elevation plus offset.
int32_t AzimuthTarget(int32_t azimuth, int32_t offset);
int32_t ElevationTarget(int32_t elevation, int32_t offset);

}  // namespace Position
