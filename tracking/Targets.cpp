// SPDX-License-Identifier: GPL-3.0-or-later
#include "Targets.h"

#include <cctype>
#include <cmath>
#include <iterator>

#include "moon.h"
#include "sun.h"

namespace Targets {

namespace {

// One body the antenna can follow: its name as the settings, the command line and the windows
// give it, and its apparent place of date (right ascension not yet reduced, declination).
struct Body {
    pointing::Target body;
    const char* name;
    SkyPlace (*place)(double dynamicalDayNumber);
};

SkyPlace MoonPlace(double dynamicalDayNumber) {
    moon::MoonCoordinates record{};
    moon::MoonEclipticPosition(record, dynamicalDayNumber);
    return {record.rightAscension, record.declination};
}

SkyPlace SunPlace(double dynamicalDayNumber) {
    const sun::SunApparent apparent = sun::SunApparentPosition(dynamicalDayNumber);
    return {apparent.place.rightAscension, apparent.place.declination};
}

constexpr Body kBodies[] = {
    {pointing::Target::Moon, "Moon", MoonPlace},
    {pointing::Target::Sun, "Sun", SunPlace},
};
static_assert(std::size(kBodies) == 2);

constexpr char kFixedName[] = "fixed";

const Body* RowOf(const Target& target) {
    if (target.kind != Target::Kind::kBody) return nullptr;
    for (const Body& row : kBodies) {
        if (row.body == target.body) return &row;
    }
    return nullptr;
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

long double Turn(long double degrees) {
    degrees = std::fmod(degrees, 360.0L);
    return degrees < 0.0L ? degrees + 360.0L : degrees;
}

}  // namespace

Target Fixed(long double azimuth, long double elevation) {
    Target target;
    target.kind = Target::Kind::kFixed;
    target.azimuth = azimuth;
    target.elevation = elevation;
    return target;
}

std::string Name(const Target& target) {
    const Body* row = RowOf(target);
    return row != nullptr ? row->name : kFixedName;
}

std::optional<Target> BodyNamed(std::string_view name) {
    for (const Body& row : kBodies) {
        if (SameLetters(name, row.name)) return Target(row.body);
    }
    return std::nullopt;
}

std::vector<std::string> BodyNames() {
    std::vector<std::string> names;
    for (const Body& row : kBodies) names.emplace_back(row.name);
    return names;
}

std::string BodyNamesJoined(std::string_view conjunction) {
    std::string joined;
    for (std::size_t i = 0; i < std::size(kBodies); ++i) {
        if (i + 1 == std::size(kBodies) && i > 0) {
            joined.append(" ").append(conjunction).append(" ");
        } else if (i > 0) {
            joined.append(", ");
        }
        joined.append(kBodies[i].name);
    }
    return joined;
}

pointing::Direction DirectionOf(const Target& target, double utcDayNumber, const pointing::Station& station,
                                const pointing::Atmosphere& atmosphere) {
    if (target.kind == Target::Kind::kFixed) return {target.elevation, target.azimuth, 0.0L};
    return pointing::PrecisePosition(target.body, utcDayNumber, station, atmosphere);
}

std::optional<SkyPlace> PlaceOf(const Target& target, double dynamicalDayNumber) {
    const Body* row = RowOf(target);
    if (row == nullptr) return std::nullopt;
    const SkyPlace place = row->place(dynamicalDayNumber);
    return SkyPlace{Turn(place.rightAscension), place.declination};
}

}  // namespace Targets
