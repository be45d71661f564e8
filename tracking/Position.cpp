// SPDX-License-Identifier: GPL-3.0-or-later
#include "Position.h"

#include <cmath>
#include <limits>
#include <utility>

#include "Location.h"
#include "Protocols.h"
#include "Unit3.h"
#include "moon.h"

namespace Position {

int32_t Azimuth = 0;
int32_t Elevation = 0;
int32_t AZtarget = 0;
int32_t ELtarget = 0;
std::string AZvalue;
std::string ELvalue;
std::string AzimuthLine;
std::string ElevationLine;
long double TargetAzimuth = 0.0L;
long double TargetElevation = 0.0L;
Targets::Target FollowedTarget;

namespace {

constexpr char kAzimuthPrefix[] = "Azimuth:   ";
constexpr char kElevationPrefix[] = "Elevation: ";
constexpr char kNoPosition[] = "---";
constexpr char kInvalidOperation[] = "Invalid floating point operation";
MoonPositionFunction installedMoonPosition = moon::MoonHorizontalPosition;

PointingSettings::Settings SettingsFilePointing() {
    if (Unit3::ExecutablePath.empty()) return {};
    return PointingSettings::Read(Unit3::SettingsFileFor(Unit3::ExecutablePath));
}

PointingSource installedPointingSource = SettingsFilePointing;

// Offsets come from a file the user may edit, so a sum beyond 32 bits is held at the limit rather
// than left to wrap around into a nonsense bearing.
int32_t SaturatedSum(int32_t a, int32_t b) {
    const int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(sum);
}

}  // namespace

MoonPositionFunction SetMoonPosition(MoonPositionFunction moonPosition) {
    const MoonPositionFunction previous = installedMoonPosition;
    installedMoonPosition = moonPosition != nullptr ? moonPosition : moon::MoonHorizontalPosition;
    return previous;
}

namespace {

// The target's position by the [Pointing] settings: the installed Moon computation by default, the
// precise path in precise mode or for any other target.
void TargetPosition(const PointingSettings::Settings& pointing, double dayNumber, long double& elevation,
                    long double& azimuth) {
    if (pointing.precise || !pointing.target.IsBody(pointing::Target::Moon)) {
        const pointing::Direction direction =
            PointingSettings::Direction(pointing, dayNumber, Unit3::Locator, Location::Longitude, Location::Latitude);
        elevation = direction.elevation;
        azimuth = direction.azimuth;
    } else {
        installedMoonPosition(dayNumber, Location::Longitude, Location::Latitude, elevation, azimuth);
    }
}

}  // namespace

void TargetPositionAt(double dayNumber, long double& elevation, long double& azimuth) {
    TargetPosition(installedPointingSource(), dayNumber, elevation, azimuth);
}

void PositionOfAt(const Targets::Target& target, double dayNumber, long double& elevation, long double& azimuth) {
    PointingSettings::Settings pointing = installedPointingSource();
    pointing.target = target;
    TargetPosition(pointing, dayNumber, elevation, azimuth);
}

PointingSettings::Settings Pointing() {
    return installedPointingSource();
}

PointingSource SetPointingSource(PointingSource source) {
    PointingSource previous = std::move(installedPointingSource);
    installedPointingSource = source ? std::move(source) : PointingSource(SettingsFilePointing);
    return previous;
}

int32_t RoundDegrees(long double degrees) {
    constexpr long double kLowest = std::numeric_limits<int32_t>::min();
    constexpr long double kHighest = std::numeric_limits<int32_t>::max();
    if (!std::isfinite(degrees)) throw EInvalidOp(kInvalidOperation);
    // The program never leaves the default rounding mode, so this is nearest with ties to even.
    const long double rounded = std::nearbyint(degrees);
    if (rounded < kLowest || rounded > kHighest) throw EInvalidOp(kInvalidOperation);
    return static_cast<int32_t>(rounded);
}

int32_t AzimuthTarget(int32_t azimuth, int32_t offset) {
    int32_t target = SaturatedSum(azimuth, offset);
    if (target < 0) target += 360;  // once only: a sum of 360 or more is sent as it is
    return target;
}

int32_t ElevationTarget(int32_t elevation, int32_t offset) {
    const int32_t target = SaturatedSum(elevation, offset);
    return target < 0 ? 0 : target;
}

void UpdatePosition() {
    if (!Location::LocatorToLonLat(Unit3::Locator)) {
        AzimuthLine = std::string(kAzimuthPrefix) + kNoPosition;
        ElevationLine = std::string(kElevationPrefix) + kNoPosition;
        AZvalue.clear();
        ELvalue.clear();
        return;
    }
    const double now = Location::UtcNow();
    const PointingSettings::Settings pointing = installedPointingSource();
    long double elevation = 0.0L;
    long double azimuth = 0.0L;
    TargetPosition(pointing, now, elevation, azimuth);

    // Round both before storing anything, so that a fault leaves the previous update intact.
    const int32_t roundedAzimuth = RoundDegrees(azimuth);
    const int32_t roundedElevation = RoundDegrees(elevation);

    TargetAzimuth = azimuth;
    TargetElevation = elevation;
    FollowedTarget = pointing.target;
    Azimuth = roundedAzimuth;
    Elevation = roundedElevation;
    AzimuthLine = kAzimuthPrefix + std::to_string(Azimuth);
    ElevationLine = kElevationPrefix + std::to_string(Elevation);
    AZtarget = AzimuthTarget(Azimuth, Unit3::AZoffset);
    AZvalue = Protocols::CommandValue(AZtarget);
    ELtarget = ElevationTarget(Elevation, Unit3::ELoffset);
    ELvalue = Protocols::CommandValue(ELtarget);
}

}  // namespace Position
