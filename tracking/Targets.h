// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pointing.h"

// What the antenna follows: a body of the sky (the Moon, the Sun) or a fixed azimuth and elevation
// (a park position, a direction another program asks for). The bodies are rows of one table here;
// another body is one more row, with its place in the astronomy library.
namespace Targets {

struct Target {
    enum class Kind { kBody, kFixed };
    Kind kind = Kind::kBody;
    pointing::Target body = pointing::Target::Moon;  // a body's
    long double azimuth = 0.0L;                      // a fixed direction's: degrees from north through east
    long double elevation = 0.0L;                    // degrees above the horizon

    Target() = default;
    // A body is a target.
    Target(pointing::Target followed) : body(followed) {}

    bool IsBody(pointing::Target which) const { return kind == Kind::kBody && body == which; }
    friend bool operator==(const Target&, const Target&) = default;
};

// A fixed direction: degrees from north through east, degrees above the horizon.
Target Fixed(long double azimuth, long double elevation);

// "Moon", "Sun"; "fixed" for a fixed direction.
std::string Name(const Target& target);

// The body of a name in any letter case ("moon", "SUN"); nullopt for a name no body has.
std::optional<Target> BodyNamed(std::string_view name);

// The bodies' names in the table's order: "Moon", "Sun".
std::vector<std::string> BodyNames();

// The names joined for a message: "Moon or Sun", or with the given word in place of "or".
std::string BodyNamesJoined(std::string_view conjunction = "or");

// Where the target stands for a station at a UTC day number: a body's apparent topocentric
// direction (pointing::PrecisePosition), a fixed target's own direction (no distance).
pointing::Direction DirectionOf(const Target& target, double utcDayNumber, const pointing::Station& station,
                                const pointing::Atmosphere& atmosphere);

// A body's apparent place of date at a dynamical-time day number: right ascension in [0, 360) and
// declination, degrees. nullopt for a fixed direction, which has none.
struct SkyPlace {
    long double rightAscension;
    long double declination;
};
std::optional<SkyPlace> PlaceOf(const Target& target, double dynamicalDayNumber);

}  // namespace Targets
